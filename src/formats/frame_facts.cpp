// One description per format: what a frame's own header says about that frame.
#include "formats/frame_facts.h"

#include <algorithm>

#include "formats/ac3_frame.h"
#include "formats/dts_frame.h"
#include "formats/dts_substream.h"
#include "formats/eac3_frame.h"
#include "formats/mpeg_audio_frame.h"

namespace velmora {

// The AC-3 family: 7.1 streams extend each frame by further substreams.
FrameFacts Ac3UnitFacts(std::span<const std::uint8_t> bytes) {
    FrameFacts facts;
    const int bsid = AnyAc3Bsid(bytes);
    if (IsEac3Bsid(bsid)) {
        const Eac3Header header = DecodeEac3Header(bytes);
        facts.syncOk = header.syncWord == 0x0B77 && Eac3StartsUnit(header);
        facts.length = Eac3FrameLength(header);
        facts.samples = Eac3Blocks(header) * 256;
        facts.samplingRate = Eac3SamplingRate(header);
        facts.streamKey = static_cast<std::uint32_t>(0x100 | header.fscod << 2 | header.fscod2);
        facts.rateCode = static_cast<std::uint32_t>(header.frmsiz);
        facts.meanLength = static_cast<double>(facts.length);
    } else {
        const Ac3Header header = DecodeAc3Header(bytes);
        facts.syncOk = Ac3SyncOk(header) && bsid <= 10;
        facts.length = Ac3FrameLength(header.fscod, header.frmsizecod);
        facts.samples = kAc3SamplesPerFrame;
        // bsid 9 and 10 carry half and quarter the sampling rate that fscod names.
        facts.samplingRate = Ac3SamplingRate(header.fscod) >> std::max(bsid - 8, 0);
        // bsid 0..8 is one syntax and may change anywhere in a stream (two encodes joined);
        // 9 and 10 change the rate.
        facts.streamKey = static_cast<std::uint32_t>(header.fscod | std::max(bsid, 8) << 4);
        facts.rateCode = static_cast<std::uint32_t>(header.frmsizecod >> 1);
        if (facts.samplingRate > 0) {
            facts.meanLength = Ac3BitRate(header.frmsizecod) * 1000.0 * kAc3SamplesPerFrame /
                               facts.samplingRate / 8.0;
        }
    }
    if (!facts.syncOk || facts.length <= 0) {
        return facts;
    }
    auto at = static_cast<std::size_t>(facts.length);
    while (at + kEac3HeaderBytes <= bytes.size()) {
        const auto rest = bytes.subspan(at);
        // Most streams are plain AC-3 or E-AC-3 without dependents: the sync word and bsid
        // settle that without decoding the whole header.
        if (rest[0] != 0x0B || rest[1] != 0x77 || !IsEac3Bsid(AnyAc3Bsid(rest))) {
            break;
        }
        const Eac3Header next = DecodeEac3Header(rest);
        if (next.syncWord != 0x0B77 || !IsEac3Bsid(next.bsid) || Eac3StartsUnit(next)) {
            break;
        }
        at += static_cast<std::size_t>(Eac3FrameLength(next));
    }
    // Dependent frames and further substreams add their own bytes to the mean.
    facts.extensionBytes = static_cast<std::int64_t>(at) - facts.length;
    facts.meanLength += static_cast<double>(facts.extensionBytes);
    facts.length = static_cast<std::int64_t>(at);
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
    facts.rateCode = static_cast<std::uint32_t>(header.bitrateIndex);
    if (facts.samplingRate > 0) {
        facts.meanLength =
            static_cast<double>(header.bitrate) * facts.samples / facts.samplingRate / 8.0;
    }
    return facts;
}

FrameFacts DtsUnitFacts(std::span<const std::uint8_t> bytes) {
    const DtsHeader header = DecodeDtsHeader(bytes);
    FrameFacts facts;
    facts.syncOk = DtsSyncOk(header);
    facts.length = DtsFrameLength(header);
    facts.samples = DtsSamplesPerFrame(header);
    facts.samplingRate = DtsSamplingRate(header.samplingFrequency);
    facts.streamKey = static_cast<std::uint32_t>(header.samplingFrequency);
    facts.rateCode = static_cast<std::uint32_t>(header.frameSize);
    if (!facts.syncOk) {
        return facts;
    }
    auto at = static_cast<std::size_t>(facts.length);
    while (at + kDtsSubstreamHeaderBytes <= bytes.size()) {
        const std::int64_t substream = DtsSubstreamLength(bytes.subspan(at));
        if (substream == 0) {
            break;
        }
        at += static_cast<std::size_t>(substream);
    }
    facts.meanLength = static_cast<double>(at);
    facts.extensionBytes = static_cast<std::int64_t>(at) - facts.length;
    facts.length = static_cast<std::int64_t>(at);
    return facts;
}

}  // namespace velmora
