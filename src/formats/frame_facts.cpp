// One description per format: what a frame's own header says about that frame.
#include "formats/frame_facts.h"

#include "formats/ac3_frame.h"
#include "formats/dts_frame.h"
#include "formats/mpeg_audio_frame.h"

namespace velmora {

namespace {

FrameFacts Ac3Facts(std::span<const std::uint8_t> bytes) {
    const Ac3Header header = DecodeAc3Header(bytes);
    FrameFacts facts;
    facts.syncOk = Ac3SyncOk(header);
    facts.length = Ac3FrameLength(header.fscod, header.frmsizecod);
    facts.samples = kAc3SamplesPerFrame;
    facts.samplingRate = Ac3SamplingRate(header.fscod);
    facts.streamKey = static_cast<std::uint32_t>(header.fscod);
    return facts;
}

FrameFacts MpegAudioFacts(std::span<const std::uint8_t> bytes) {
    const MpegAudioHeader header = DecodeMpegAudioHeader(bytes);
    FrameFacts facts;
    facts.syncOk = MpegAudioSyncOk(header);
    facts.length = MpegAudioFrameLength(header);
    facts.samples = MpegAudioSamplesPerFrame(header);
    facts.samplingRate = header.samplingRate;
    // The channel mode may change from frame to frame; version, layer and rate may not.
    facts.streamKey = static_cast<std::uint32_t>(header.versionId << 4 | header.layerCode << 2 |
                                                 header.samplingIndex);
    return facts;
}

FrameFacts DtsFacts(std::span<const std::uint8_t> bytes) {
    const DtsHeader header = DecodeDtsHeader(bytes);
    FrameFacts facts;
    facts.syncOk = DtsSyncOk(header);
    facts.length = DtsFrameLength(header);
    facts.samples = DtsSamplesPerFrame(header);
    facts.samplingRate = DtsSamplingRate(header.samplingFrequency);
    facts.streamKey = static_cast<std::uint32_t>(header.samplingFrequency);
    return facts;
}

}  // namespace

FrameFacts ReadFrameFacts(FileType fileType, std::span<const std::uint8_t> bytes) {
    switch (fileType) {
        case FileType::MpegAudio:
            return MpegAudioFacts(bytes);
        case FileType::Dts:
            return DtsFacts(bytes);
        case FileType::Ac3:
        default:
            // Any other type code is treated as AC-3, as the file names are.
            return Ac3Facts(bytes);
    }
}

}  // namespace velmora
