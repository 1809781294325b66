// What the first ADTS frames of a source say, for its report and its correction.
#include <span>
#include <vector>

#include "analysis/format_analysis.h"
#include "analysis/stream_timing.h"
#include "common/number_text.h"
#include "formats/aac_adts_frame.h"
#include "formats/frame_facts.h"
#include "report/aac_source_lines.h"

namespace velmora {

namespace {

// Frames are of varying length: the analysis takes the mean of the first ones, as many as
// the window can read at once without delay (8191 bytes is the longest ADTS frame).
constexpr std::size_t kFramesLookedAt = 64;
constexpr std::size_t kFirstFramesBytes = kFramesLookedAt * 8192;

}  // namespace

std::string AnalyseAac(SourceReader& source, StreamInfo& info) {
    const std::vector<std::uint8_t> bytes = source.Read(info.AudioStart, kFirstFramesBytes);
    AacFirstFrames first;
    first.header = DecodeAdtsHeader(bytes);
    if (!first.header.syncOk) {
        return "No AAC information, or header corrupt.\r\n";
    }
    const FrameFacts key = AacAdtsFacts(bytes);
    std::size_t at = 0;
    std::size_t frames = 0;
    std::size_t sbrFrames = 0;
    while (frames < kFramesLookedAt && at < bytes.size()) {
        const auto rest = std::span(bytes).subspan(at);
        const FrameFacts facts = AacAdtsFacts(rest);
        if (!facts.syncOk || facts.streamKey != key.streamKey ||
            static_cast<std::size_t>(facts.length) > rest.size()) {
            break;
        }
        sbrFrames += AdtsFrameEndsInSbr(rest) ? 1 : 0;
        at += static_cast<std::size_t>(facts.length);
        ++frames;
    }
    // A fill element that merely looks like SBR at the end of one frame is no HE-AAC
    // stream: most frames must carry it.
    info.Sbr = frames > 0 && sbrFrames * 2 > frames;
    first.sbr = info.Sbr;
    info.FrameLength = first.header.frameLength;
    SetTiming(info, first.header.samplingRate, kAacBlockSamples * first.header.rawDataBlocks);
    const double meanLength = frames > 0 ? static_cast<double>(at) / static_cast<double>(frames)
                                         : static_cast<double>(info.FrameLength);
    info.EstimatedFrames = RoundToInt64(
        static_cast<long double>(info.AudioEnd - info.AudioStart) / meanLength);
    info.FrameCountExact = false;
    first.estimatedFrames = info.EstimatedFrames;
    first.framesPerSecond = info.FramesPerSecond;
    first.kilobitsPerSecond = meanLength * 8.0 * info.FramesPerSecond / 1000.0;
    return AacReport(first);
}

}  // namespace velmora
