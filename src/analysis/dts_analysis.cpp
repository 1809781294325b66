// What the first DTS frame of a source says, for its report and its correction.
#include <vector>

#include "analysis/format_analysis.h"
#include "analysis/stream_timing.h"
#include "formats/dts_substream.h"
#include "formats/frame_facts.h"
#include "report/dts_source_lines.h"
#include "report/report_text.h"

namespace velmora {

namespace {

// The longest DTS core frame and the header of an extension substream after it.
constexpr std::size_t kFirstDtsUnitBytes = 16384 + 16;

}  // namespace

std::string AnalyseDts(SourceReader& source, StreamInfo& info) {
    const std::vector<std::uint8_t> bytes = source.Read(info.AudioStart, kFirstDtsUnitBytes);
    const DtsHeader header = DecodeDtsHeader(bytes);
    if (!DtsSyncOk(header)) {
        if (DtsSubstreamLength(bytes) > 0) {
            info.Unusable =
                "This DTS-HD stream has no core frames (lossless only), and only streams with "
                "core frames can be corrected";
        }
        return "No DTS information, or header corrupt.\r\n";
    }
    std::string lines = DtsSamplingRateLine(header.samplingFrequency);
    info.NominalBitRate = DtsBitRate(header.bitRate);
    lines += DtsBitRateLine(header.bitRate);
    // In DTS-HD an extension substream follows every core frame; both are one unit.
    const FrameFacts facts = DtsUnitFacts(bytes);
    const std::int64_t extension = facts.length - DtsFrameLength(header);
    if (extension > 0) {
        lines += "DTS-HD extension: " + std::to_string(extension) + " bytes per frame\r\n";
    }
    info.FrameLength = static_cast<std::int32_t>(facts.length);
    SetTiming(info, DtsSamplingRate(header.samplingFrequency), DtsSamplesPerFrame(header));
    if (info.FrameLength == 0) {
        info.Unusable = "The sampling rate code of the DTS header has no rate, so the frames cannot be timed";
    }
    if (info.FrameLength > 0) {
        lines += CountedLengthLines(info.AudioEnd - info.AudioStart,
                                    ConstantSize(info.FrameLength), info);
        // An extension substream's size may change from frame to frame.
        info.FrameCountExact = info.FrameCountExact && extension == 0;
    }
    return lines + FrameRateSentence(info.FramesPerSecond) + "\r\n";
}

}  // namespace velmora
