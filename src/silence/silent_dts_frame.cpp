// A silent DTS core frame for a stream's own frame header.
#include "silence/silent_dts_frame.h"

#include <algorithm>
#include <array>

#include "formats/bit_reader.h"
#include "silence/bit_writer.h"

namespace velmora {

namespace {

// The frame header up to and including DIALNORM, without the header CRC: 104 bits. The
// first 88 end with HFLAG; HCRC, when CPF is set, sits between them and the last 16.
constexpr std::size_t kHeaderBytes = 13;
constexpr std::size_t kBytesBeforeHcrc = 11;
// The flags a silent frame clears, byte by byte: CPF (its CRC words are for the decoder to
// skip, never to test, so a frame without them is the plainer one), TIMEF and AUXF (no time
// stamp or auxiliary data after the audio), EXT_AUDIO_ID and EXT_AUDIO (no extension).
constexpr std::array<std::uint8_t, kBytesBeforeHcrc> kKeptBits = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xF9, 0x0F,
};
constexpr int kSubbands = 2;
constexpr int kMostSubsubframes = 4;
constexpr int kMostSubframes = 16;
// Bit allocation codebook 6: every ABITS index is a plain 5-bit field.
constexpr std::uint32_t kPlainAbits = 6;
// Quantiser index codebook selectors (their widths) and the group sizes below which a
// scale-factor adjustment follows (ETSI TS 102 114, 5.3.2).
constexpr std::array<int, 10> kSelectorBits = {1, 2, 2, 2, 2, 3, 3, 3, 3, 3};
constexpr std::uint32_t kDsync = 0xFFFF;

struct Fields {
    int frameType, deficit, crcPresent, blocks, frameBytes, syncEvery, lfe, channels;
};

Fields ReadFields(std::span<const std::uint8_t> core) {
    BitReader in(core);
    Fields f{};
    static_cast<void>(in.Read(32));  // SYNC
    f.frameType = static_cast<int>(in.Read(1));
    f.deficit = static_cast<int>(in.Read(5));
    f.crcPresent = static_cast<int>(in.Read(1));
    f.blocks = static_cast<int>(in.Read(7)) + 1;
    f.frameBytes = static_cast<int>(in.Read(14)) + 1;
    static_cast<void>(in.Read(6 + 4 + 5 + 1 + 1));  // AMODE, SFREQ, RATE, MIX, DYNF
    static_cast<void>(in.Read(1 + 1 + 1 + 3 + 1));  // TIMEF, AUXF, HDCD, EXT_AUDIO_ID, EXT_AUDIO
    f.syncEvery = static_cast<int>(in.Read(1));
    f.lfe = static_cast<int>(in.Read(2));
    static_cast<void>(in.Read(1 + (f.crcPresent != 0 ? 16 : 0) + 16));  // HFLAG, HCRC, the rest
    static_cast<void>(in.Read(4));       // SUBFS
    f.channels = static_cast<int>(in.Read(3)) + 1;
    return f;
}

void WriteCodingHeader(BitWriter& out, int subframes, int channels) {
    out.Put(static_cast<std::uint32_t>(subframes - 1), 4);
    out.Put(static_cast<std::uint32_t>(channels - 1), 3);
    const auto perChannel = [&](std::uint32_t value, int width) {
        for (int ch = 0; ch < channels; ++ch) {
            out.Put(value, width);
        }
    };
    perChannel(kSubbands - 2, 5);  // SUBS
    perChannel(kSubbands - 1, 5);  // VQSUB: vector quantisation would start past the last
    perChannel(0, 3);              // JOINX
    perChannel(0, 2);              // THUFF
    perChannel(0, 3);              // SHUFF
    perChannel(kPlainAbits, 3);    // BHUFF
    for (const int bits : kSelectorBits) {
        perChannel(0, bits);  // SEL: the first codebook of each
    }
    for (std::size_t n = 0; n < kSelectorBits.size(); ++n) {
        perChannel(0, 2);  // ADJ: every first codebook is below its group's size
    }
}

void WriteSubframe(BitWriter& out, int subsubframes, const Fields& f, int dynamicRange) {
    out.Put(static_cast<std::uint32_t>(subsubframes - 1), 2);  // SSC
    out.Put(0, 3);                                             // PSC
    for (int ch = 0; ch < f.channels; ++ch) {
        for (int band = 0; band < kSubbands; ++band) {
            out.Put(0, 1);  // PMODE: no prediction
        }
    }
    for (int ch = 0; ch < f.channels; ++ch) {
        for (int band = 0; band < kSubbands; ++band) {
            out.Put(0, 5);  // ABITS 0: no samples, so no transient modes or scale factors
        }
    }
    if (dynamicRange != 0) {
        out.Put(0, 8);  // RANGE
    }
    if (f.lfe != 0) {
        // Two (128-times interpolation, LFF 1) or four (64 times, LFF 2) zero LFE samples a
        // subsubframe, then their scale factor index.
        for (int n = 0; n < 2 * f.lfe * subsubframes; ++n) {
            out.Put(0, 8);
        }
        out.Put(0, 8);
    }
    for (int k = 0; k < subsubframes; ++k) {
        if (f.syncEvery != 0 || k == subsubframes - 1) {
            out.Put(kDsync, 16);
        }
    }
}

}  // namespace

std::optional<std::vector<std::uint8_t>> BuildSilentDtsFrame(std::span<const std::uint8_t> core) {
    // The header with HCRC and the coding header's first byte.
    if (core.size() < kHeaderBytes + 2 + 1) {
        return std::nullopt;
    }
    const Fields f = ReadFields(core);
    const int totalSubsubframes = f.blocks / 8;
    if (f.frameType != 1 || f.deficit != 31 || f.lfe == 3 || f.blocks % 8 != 0 ||
        totalSubsubframes == 0 ||
        totalSubsubframes > kMostSubframes * kMostSubsubframes ||
        static_cast<std::size_t>(f.frameBytes) > core.size()) {
        return std::nullopt;
    }
    BitWriter out;
    for (std::size_t at = 0; at < kBytesBeforeHcrc; ++at) {
        out.Put(core[at] & kKeptBits[at], 8);
    }
    const std::size_t rest = kBytesBeforeHcrc + (f.crcPresent != 0 ? 2 : 0);
    out.Put(static_cast<std::uint32_t>(core[rest] << 8 | core[rest + 1]), 16);
    const int subframes = (totalSubsubframes + kMostSubsubframes - 1) / kMostSubsubframes;
    WriteCodingHeader(out, subframes, f.channels);
    const int dynamicRange = (core[9] >> 3) & 1;  // DYNF
    for (int sf = 0; sf < subframes; ++sf) {
        const int share = totalSubsubframes / subframes + (sf < totalSubsubframes % subframes);
        WriteSubframe(out, share, f, dynamicRange);
    }
    const std::int64_t frameBits = std::int64_t{8} * f.frameBytes;
    if (out.BitCount() > frameBits) {
        return std::nullopt;
    }
    out.PadTo(frameBits);
    if (!out.Ok()) {
        return std::nullopt;
    }
    return out.Bytes();
}

}  // namespace velmora
