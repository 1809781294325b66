// What the tags and the first MPEG audio frame of a source say, for its report and its
// correction.
#include <algorithm>
#include <span>
#include <vector>

#include "analysis/format_analysis.h"
#include "analysis/stream_timing.h"
#include "formats/mpeg_info_frame.h"
#include "report/mpeg_audio_source_lines.h"

namespace velmora {

namespace {

// Enough for an info frame and the header of the frame after it.
constexpr std::size_t kFirstFramesBytes = 36864;

}  // namespace

std::string AnalyseMpegAudio(SourceReader& source, StreamInfo& info) {
    const std::int64_t audioStart = info.AudioStart;
    const std::vector<std::uint8_t> first = source.Read(audioStart, kFirstFramesBytes);
    MpegAudioHeader header = DecodeMpegAudioHeader(first);
    const std::int32_t firstLength = MpegAudioFrameLength(header);
    if (MpegAudioSyncOk(header) && firstLength > 0 &&
        static_cast<std::size_t>(firstLength) + kMpegAudioHeaderBytes <= first.size() &&
        FindMpegInfoTag(std::span(first).first(static_cast<std::size_t>(firstLength)), header)) {
        // The report and the frame length describe the first frame that holds audio.
        const MpegAudioHeader next =
            DecodeMpegAudioHeader(std::span(first).subspan(static_cast<std::size_t>(firstLength)));
        if (MpegAudioSyncOk(next)) {
            info.InfoFrameLength = firstLength;
            header = next;
        }
    }
    if (header.samplingRate > 0) {
        info.FrameLength = MpegAudioFrameLength(header);
    }
    if (info.FrameLength > 0) {
        SetTiming(info, header.samplingRate, MpegAudioSamplesPerFrame(header));
        info.EstimatedFrames =
            (info.AudioEnd - info.AudioStart - info.InfoFrameLength) / info.FrameLength;
    }
    if (header.bitrateIndex == 0 && header.samplingRate > 0 && header.layerCode != 0) {
        info.Unusable = "Free-format MPEG audio has no bit rate in its header, so its frames cannot be "
                        "measured";
    }
    return MpegAudioReport(header, info.FrameLength);
}

}  // namespace velmora
