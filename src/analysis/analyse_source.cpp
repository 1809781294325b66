// Reads the first frame header of a source and describes the stream.
#include "analysis/analyse_source.h"

#include <algorithm>
#include <vector>

#include "analysis/frame_search.h"
#include "analysis/source_reader.h"
#include "formats/format_table.h"
#include "platform/files/file_names.h"
#include "report/report_text.h"

namespace velmora {

namespace {

// The chunked DTS-HD file format, not a raw stream: its chunks would have to be rewritten,
// which Velmora does not do.
bool IsChunkedDtsHd(SourceReader& source) {
    const std::vector<std::uint8_t> start = source.Read(0, 8);
    return std::string(start.begin(), start.end()) == "DTSHDHDR";
}

std::string AnalyseReadable(SourceReader& source, FileType fileType, StreamInfo& info) {
    std::string lines;
    if (IsChunkedDtsHd(source)) {
        info.Unusable =
            "It is a DTS-HD file in chunks (it starts with DTSHDHDR), not a raw DTS stream";
    } else if (FormatOf(fileType).unit == FormatUnit::Sample) {
        // Chunks, not frames: the format finds its samples itself.
        lines = FormatOf(fileType).analyse(source, info);
    } else {
        const FormatRow& format = FormatOf(fileType);
        const FramePlace place = FindFrames(source, format);
        info.AudioStart = place.start;
        info.AudioEnd = place.end;
        info.SkippedBytes = place.start - place.tagBytes;
        info.ByteSwapped = place.byteSwapped;
        lines = FramePlaceLines(info.SkippedBytes, info.ByteSwapped) + format.analyse(source, info);
    }
    if (!info.Unusable.empty()) {
        lines += info.Unusable + ".\r\n";
    }
    if (info.FrameLength > 0) {
        info.FirstUnit = source.Read(info.AudioStart + info.InfoFrameLength,
                                     static_cast<std::size_t>(info.FrameLength));
    }
    return lines;
}

}  // namespace

SourceAnalysis AnalyseSource(const std::string& sourceName, FileType fileType) {
    SourceAnalysis analysis;
    if (FileExists(sourceName)) {
        SourceReader source(sourceName);
        std::string report(kSourceInformationHeading);
        if (!source.Error().empty()) {
            // Nothing usable was read: FrameLength stays 0, so Write stays disabled.
            report += "Source file cannot be read: " + source.Error() + ".\r\n";
            analysis.info.Unusable = "Source file cannot be read: " + source.Error();
        } else {
            report += AnalyseReadable(source, fileType, analysis.info);
        }
        analysis.report = std::move(report);
    }
    // Room for one frame; the silent-frame loader fills it when a template matches.
    analysis.info.SilentFrame.assign(
        static_cast<std::size_t>(std::max<std::int32_t>(analysis.info.FrameLength, 0)), 0);
    return analysis;
}

}  // namespace velmora
