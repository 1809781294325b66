// Silent frames that match the source's first frame.
#include "silence/silent_frames.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "formats/ac3_frame.h"
#include "formats/dts_frame.h"
#include "formats/eac3_frame.h"
#include "formats/format_table.h"
#include "formats/mpeg_audio_frame.h"
#include "silence/silent_aac_frame.h"
#include "silence/silent_dts_frame.h"
#include "silence/silent_eac3_frame.h"
#include "silence/silent_mpeg_frame.h"
#include "silence/silent_sync_frame.h"

namespace velmora {

namespace {

using Frame = std::vector<std::uint8_t>;

// A run of bytes inside SilentFrameTemplates, and the layout it was made for.
struct TemplateSpan {
    std::size_t offset = 0;
    std::size_t size = 0;
    int acmod = 0;
    int lfeon = 0;
};

// The three stored frames, chosen by the whole fifth byte and only for the layout they
// carry: a stereo stream must not turn 5.1 for the length of the silence, nor the reverse.
std::optional<TemplateSpan> TemplateFor(std::uint8_t fifthByte, const Ac3Bsi& bsi) {
    std::optional<TemplateSpan> chosen;
    switch (fifthByte) {
        case 0x14:
            chosen = TemplateSpan{0, 768, 2, 0};  // A: 192 kbit/s, 2/0
            break;
        case 0x1C:
            chosen = TemplateSpan{768, 1536, 7, 1};  // B: 384 kbit/s, 3/2 + LFE
            break;
        case 0x1E:
            chosen = TemplateSpan{2304, 1792, 7, 1};  // C: 448 kbit/s, 3/2 + LFE
            break;
        default:
            return std::nullopt;
    }
    // The stored frames are bsid 8: at 9 and 10 they would change the sampling rate.
    if (bsi.bsid > 8 || bsi.acmod != chosen->acmod || bsi.lfeon != chosen->lfeon) {
        return std::nullopt;
    }
    return chosen;
}

std::optional<Frame> BuildAc3(int fscod, int frmsizecod, const Ac3Bsi& bsi) {
    SilentAc3FrameParams params;
    params.fscod = fscod;
    params.frmsizecod = frmsizecod;
    params.bsid = bsi.bsid;
    params.bsmod = bsi.bsmod;
    params.acmod = bsi.acmod;
    params.cmixlev = bsi.cmixlev;
    params.surmixlev = bsi.surmixlev;
    params.dsurmod = bsi.dsurmod;
    params.lfeon = bsi.lfeon != 0;
    params.dialnorm = bsi.dialnorm;
    const std::optional<SilentAc3Frame> frame = BuildSilentAc3Frame(params);
    if (!frame) {
        return std::nullopt;
    }
    return frame->bytes;
}

// AC-3: the stored template where it fits, else frames built like it. At 44.1 kHz the two
// codes of a pair differ by one word, and streams mix them to keep their bit rate.
bool LoadAc3(StreamInfo& info) {
    const Ac3Header header = DecodeAc3Header(info.FirstUnit);
    const Ac3Bsi bsi = DecodeAc3Bsi(info.FirstUnit);
    if (const std::optional<TemplateSpan> stored = TemplateFor(info.FirstUnit[4], bsi)) {
        const auto first = SilentFrameTemplates.begin() + static_cast<std::ptrdiff_t>(stored->offset);
        info.SilentFrame.assign(first, first + static_cast<std::ptrdiff_t>(stored->size));
        return true;
    }
    const int even = header.frmsizecod & ~1;
    const int odd = header.frmsizecod | 1;
    const bool pair = Ac3FrameLength(header.fscod, even) != Ac3FrameLength(header.fscod, odd);
    // Where both codes give one size, the stream's own code; else both sizes.
    const std::optional<Frame> shortFrame =
        BuildAc3(header.fscod, pair ? even : header.frmsizecod, bsi);
    const std::optional<Frame> longFrame = pair ? BuildAc3(header.fscod, odd, bsi) : shortFrame;
    if (!shortFrame || !longFrame) {
        return false;  // a syntax the builder does not write
    }
    info.SilentFrame = *shortFrame;
    if (pair) {
        info.SilentFrameLong = *longFrame;
        info.SilentFrameAverage = static_cast<double>(Ac3BitRate(header.frmsizecod)) * 1000.0 /
                                  8.0 * kAc3SamplesPerFrame / Ac3SamplingRate(header.fscod);
    }
    return true;
}

// E-AC-3, and AC-3 extended by E-AC-3 frames (7.1): every frame of the first unit gets a
// silent frame of its own kind, substream, size, rate, blocks and channels.
bool LoadAc3Unit(StreamInfo& info) {
    const std::span<const std::uint8_t> unit(info.FirstUnit);
    Frame silent;
    std::size_t at = 0;
    while (at + kEac3HeaderBytes <= unit.size()) {
        const std::span<const std::uint8_t> rest = unit.subspan(at);
        std::optional<Frame> frame;
        std::size_t length = 0;
        if (IsEac3Bsid(AnyAc3Bsid(rest))) {
            const Eac3Header header = DecodeEac3Header(rest);
            length = static_cast<std::size_t>(Eac3FrameLength(header));
            SilentEac3FrameParams params;
            params.strmtyp = header.strmtyp;
            params.substreamid = header.substreamid;
            params.frameBytes = static_cast<int>(length);
            params.fscod = header.fscod;
            params.fscod2 = header.fscod2;
            params.numblkscod = header.numblkscod;
            params.acmod = header.acmod;
            params.lfeon = header.lfeon != 0;
            params.bsid = header.bsid;
            params.dialnorm = header.dialnorm;
            params.chanmap = header.chanmap;
            frame = BuildSilentEac3Frame(params);
        } else {
            const Ac3Header header = DecodeAc3Header(rest);
            length = static_cast<std::size_t>(Ac3FrameLength(header.fscod, header.frmsizecod));
            frame = BuildAc3(header.fscod, header.frmsizecod, DecodeAc3Bsi(rest));
        }
        if (!frame || frame->size() != length) {
            return false;
        }
        silent.insert(silent.end(), frame->begin(), frame->end());
        at += length;
    }
    if (at != unit.size()) {
        return false;
    }
    info.SilentFrame = std::move(silent);
    return true;
}

}  // namespace

// MPEG audio: the first audio frame's version, layer, rate and channel mode, at its bit rate
// (also in a VBR stream); frames with and without the padding slot keep the byte rate.
bool LoadMpegAudioSilence(StreamInfo& info) {
    const MpegAudioHeader header = DecodeMpegAudioHeader(info.FirstUnit);
    SilentMpegFrameParams params;
    params.versionId = header.versionId;
    params.layerCode = header.layerCode;
    params.bitrateIndex = header.bitrateIndex;
    params.samplingIndex = header.samplingIndex;
    params.bitRateKbps = header.bitrate / 1000;
    params.sampleRateHz = header.samplingRate;
    params.channelMode = header.channelMode;
    params.copyright = header.copyrightBit != 0;
    params.original = header.originalBit != 0;
    params.emphasis = header.emphasis == 2 ? 0 : header.emphasis;
    params.protection = header.protectionBit == 0;
    MpegAudioHeader unpadded = header;
    unpadded.paddingBit = 0;
    params.frameBytes = MpegAudioFrameLength(unpadded);
    const std::optional<Frame> shortFrame = BuildSilentMpegFrame(params);
    MpegAudioHeader padded = header;
    padded.paddingBit = 1;
    params.paddingBit = 1;
    params.frameBytes = MpegAudioFrameLength(padded);
    const std::optional<Frame> longFrame = BuildSilentMpegFrame(params);
    if (!shortFrame || !longFrame) {
        return false;
    }
    info.SilentFrame = *shortFrame;
    // The stream's bytes per frame before they are made whole slots.
    const double exact = static_cast<double>(MpegAudioSamplesPerFrame(header)) / 8.0 *
                         header.bitrate / header.samplingRate;
    if (exact > static_cast<double>(shortFrame->size())) {
        info.SilentFrameLong = *longFrame;
        info.SilentFrameAverage = exact;
    }
    return true;
}

bool LoadDtsSilence(StreamInfo& info) {
    const DtsHeader header = DecodeDtsHeader(info.FirstUnit);
    const auto core = std::span(info.FirstUnit)
                          .first(std::min(info.FirstUnit.size(),
                                          static_cast<std::size_t>(DtsFrameLength(header))));
    std::optional<Frame> frame = BuildSilentDtsFrame(core);
    if (!frame) {
        return false;
    }
    info.SilentFrame = std::move(*frame);
    return true;
}

// AAC: empty elements for the stream's channels. Where SBR doubles the rate, a frame without
// it in front would make a decoder fix its output at the core's rate for the whole stream.
bool LoadAacSilence(StreamInfo& info) {
    std::optional<Frame> frame = info.Sbr ? std::nullopt : BuildSilentAacFrame(info.FirstUnit);
    if (!frame) {
        return false;
    }
    info.SilentFrame = std::move(*frame);
    return true;
}

// A unit of one AC-3 frame, or of E-AC-3 frames (with an AC-3 frame first in 7.1).
bool LoadAc3Silence(StreamInfo& info) {
    const Ac3Header header = DecodeAc3Header(info.FirstUnit);
    const bool plainAc3 = !IsEac3Bsid(AnyAc3Bsid(info.FirstUnit)) &&
                          info.FrameLength == Ac3FrameLength(header.fscod, header.frmsizecod);
    return plainAc3 ? LoadAc3(info) : LoadAc3Unit(info);
}

void LoadSilentFrame(StreamInfo& info, FileType fileType, int addSilentValue) {
    info.SilentFrameLoaded = false;
    info.SilenceUnavailable = false;
    info.SilentFrameLong.clear();
    info.SilentFrameAverage = 0.0;
    // A greyed check box (2) counts as unchecked; without a usable first frame there is
    // nothing to match.
    if (addSilentValue != 1 || info.FrameLength <= 0 || info.FirstUnit.empty()) {
        return;
    }
    const auto load = FormatOf(fileType).loadSilence;
    const bool loaded = load != nullptr && load(info);
    info.SilenceUnavailable = !loaded;
    if (!loaded) {
        info.SilentFrame.assign(static_cast<std::size_t>(info.FrameLength), 0);
        info.SilentFrameLong.clear();
        info.SilentFrameAverage = 0.0;
    }
    info.SilentFrameLoaded = loaded;
}

}  // namespace velmora
