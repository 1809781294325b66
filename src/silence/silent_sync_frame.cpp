// Builds a complete AC-3 sync frame that decodes to digital silence.
#include "silence/silent_sync_frame.h"

#include <array>

#include "formats/ac3_crc.h"
#include "silence/ac3_frame_size.h"
#include "silence/bit_writer.h"

namespace velmora {

namespace {

constexpr std::uint32_t kSyncWord = 0x0B77;
constexpr int kBlocksPerFrame = 6;
// bsid 0..8 share one syntax; 9 and 10 keep it at half and quarter the sample rate. Higher
// values are other bit stream types, so a frame for them would not be this frame.
constexpr int kMaxBsid = 10;
constexpr int kDualMono = 0;

// Full-bandwidth channels per acmod (A/52 Table 5.8).
constexpr std::array<int, 8> kFullBandwidthChannels = {2, 1, 2, 3, 3, 4, 4, 5};

// Exponent strategies (chexpstr, lfeexpstr): 0 reuse the previous block's, 1 D15, 3 D45.
constexpr std::uint32_t kExpReuse = 0;
constexpr std::uint32_t kExpD15 = 1;
constexpr std::uint32_t kExpD45 = 3;

// chbwcod 0 keeps the coded bandwidth as small as it goes: endmant = 37 + 3 * (0 + 12).
constexpr int kChbwcod = 0;
constexpr int kEndMant = 37 + 3 * (kChbwcod + 12);
// D45 groups of a full-bandwidth channel: each 7-bit group carries three deltas of four
// bins each; the first bin has its own absolute exponent.
constexpr int kD45Groups = (kEndMant + 8) / 12;
// The LFE channel always has 7 bins: one absolute exponent and two D15 groups.
constexpr int kLfeGroups = 2;

// A flat exponent of 15 keeps every running exponent well inside 0..24, and a group of
// three zero deltas is (0 + 2) * 25 + (0 + 2) * 5 + (0 + 2) = 62.
constexpr std::uint32_t kAbsExponent = 15;
constexpr std::uint32_t kZeroDeltaGroup = 62;

// Bit allocation parameters sent in block 0. With every SNR offset at 0 no mantissa gets
// any bits whatever these are; they are the usual mid-table values.
constexpr std::uint32_t kSdcycod = 2;
constexpr std::uint32_t kFdcycod = 1;
constexpr std::uint32_t kSgaincod = 1;
constexpr std::uint32_t kDbpbcod = 2;
constexpr std::uint32_t kFloorcod = 7;
constexpr std::uint32_t kFgaincod = 4;

// Non-negative parameter values as unsigned fields; a negative one wraps to a value that
// cannot fit any field, which the bit writer reports.
std::uint32_t U(int value) {
    return static_cast<std::uint32_t>(value);
}
std::uint32_t U(bool value) {
    return value ? 1u : 0u;
}

void WriteSyncInfo(BitWriter& out, const SilentAc3FrameParams& p) {
    out.Put(kSyncWord, 16);
    out.Put(0, 16);  // crc1, filled in when the frame is complete
    out.Put(U(p.fscod), 2);
    out.Put(U(p.frmsizecod), 6);
}

void WriteBsi(BitWriter& out, const SilentAc3FrameParams& p) {
    out.Put(U(p.bsid), 5);
    out.Put(U(p.bsmod), 3);
    out.Put(U(p.acmod), 3);
    if ((p.acmod & 1) != 0 && p.acmod != 1) {
        out.Put(U(p.cmixlev), 2);  // three front channels
    }
    if ((p.acmod & 4) != 0) {
        out.Put(U(p.surmixlev), 2);  // surround channels
    }
    if (p.acmod == 2) {
        out.Put(U(p.dsurmod), 2);
    }
    out.Put(U(p.lfeon), 1);
    // Dual mono repeats the programme fields for its second channel; silence gives no
    // reason for the two to differ.
    const int programmes = p.acmod == kDualMono ? 2 : 1;
    for (int programme = 0; programme < programmes; ++programme) {
        out.Put(U(p.dialnorm), 5);
        out.Put(U(p.compr.has_value()), 1);
        if (p.compr) {
            out.Put(U(*p.compr), 8);
        }
        out.Put(0, 1);  // langcode: no language code
        out.Put(U(p.audprod.has_value()), 1);
        if (p.audprod) {
            out.Put(U(p.audprod->mixlevel), 5);
            out.Put(U(p.audprod->roomtyp), 2);
        }
    }
    out.Put(U(p.copyrightb), 1);
    out.Put(U(p.origbs), 1);
    // timecod1e and timecod2e; bsid 6 reads these two bits as xbsi1e and xbsi2e, and 0
    // means "absent" in both readings.
    out.Put(0, 1);
    out.Put(0, 1);
    out.Put(0, 1);  // addbsie: no additional bit stream information
}

// One audio block. Block 0 must carry everything a decoder needs to start: coupling
// strategy, rematrixing (2/0), exponents, bit allocation parameters and SNR offsets. The
// later blocks reuse all of it and so are only a row of zero flags. No block carries
// mantissas, because the SNR offsets leave every bin without bits.
// The exponent strategies and, in block 0, the exponents: all at their floor.
void WriteExponents(BitWriter& out, const SilentAc3FrameParams& p, int channels, bool first) {
    const bool newLfeExponents = p.lfeon && first && p.lfeExponentsInBlock0;
    for (int ch = 0; ch < channels; ++ch) {
        out.Put(first ? kExpD45 : kExpReuse, 2);  // chexpstr
    }
    if (p.lfeon) {
        out.Put(newLfeExponents ? kExpD15 : kExpReuse, 1);  // lfeexpstr
    }
    if (first) {
        for (int ch = 0; ch < channels; ++ch) {
            out.Put(kChbwcod, 6);  // chbwcod: sent for every new uncoupled exponent set
        }
        for (int ch = 0; ch < channels; ++ch) {
            out.Put(kAbsExponent, 4);
            for (int group = 0; group < kD45Groups; ++group) {
                out.Put(kZeroDeltaGroup, 7);
            }
            out.Put(0, 2);  // gainrng
        }
    }
    if (newLfeExponents) {
        out.Put(kAbsExponent, 4);
        for (int group = 0; group < kLfeGroups; ++group) {
            out.Put(kZeroDeltaGroup, 7);
        }
    }
}

// The bit allocation parameters, sent once in block 0, and no delta allocation or skip field.
void WriteBitAllocation(BitWriter& out, const SilentAc3FrameParams& p, int channels, bool first) {
    out.Put(U(first), 1);  // baie
    if (first) {
        out.Put(kSdcycod, 2);
        out.Put(kFdcycod, 2);
        out.Put(kSgaincod, 2);
        out.Put(kDbpbcod, 2);
        out.Put(kFloorcod, 3);
    }
    out.Put(U(first), 1);  // snroffste
    if (first) {
        out.Put(U(p.csnroffst), 6);
        const int pairs = channels + (p.lfeon ? 1 : 0);  // every channel, LFE last
        for (int ch = 0; ch < pairs; ++ch) {
            out.Put(U(p.fsnroffst), 4);
            out.Put(kFgaincod, 3);
        }
    }
    out.Put(0, 1);  // deltbaie: no delta bit allocation
    out.Put(0, 1);  // skiple: no skip field
}

void WriteAudioBlock(BitWriter& out, const SilentAc3FrameParams& p, int block) {
    const int channels = kFullBandwidthChannels[static_cast<std::size_t>(p.acmod)];
    const bool first = block == 0;

    for (int ch = 0; ch < channels; ++ch) {
        out.Put(0, 1);  // blksw: long transform
    }
    for (int ch = 0; ch < channels; ++ch) {
        out.Put(U(p.dithflag), 1);  // dithflag: zero-bit bins stay exactly 0 without it
    }
    out.Put(0, 1);  // dynrnge: no dynamic range word, gain 1
    if (p.acmod == kDualMono) {
        out.Put(0, 1);  // dynrng2e, the same for the second channel
    }
    out.Put(U(first), 1);  // cplstre
    if (first) {
        out.Put(0, 1);  // cplinu: coupling off, so no coupling fields anywhere
    }
    if (p.acmod == 2) {
        out.Put(U(first), 1);  // rematstr
        if (first) {
            out.Put(0, 4);  // rematflg for the four bands that exist without coupling
        }
    }
    WriteExponents(out, p, channels, first);
    WriteBitAllocation(out, p, channels, first);
}
}  // namespace

std::optional<SilentAc3Frame> BuildSilentAc3Frame(const SilentAc3FrameParams& params) {
    const std::optional<int> words = Ac3FrameWords(params.fscod, params.frmsizecod);
    if (!words || params.acmod < 0 || params.acmod > 7 || params.bsid < 0 ||
        params.bsid > kMaxBsid) {
        return std::nullopt;
    }
    const std::int64_t frameBits = 16 * static_cast<std::int64_t>(*words);
    const auto crc1End = static_cast<std::int64_t>(Ac3Crc1End(static_cast<std::size_t>(*words)));

    SilentAc3Frame frame;
    BitWriter out;
    WriteSyncInfo(out, params);
    WriteBsi(out, params);
    frame.layout.bsiEnd = out.BitCount();
    for (int block = 0; block < kBlocksPerFrame; ++block) {
        WriteAudioBlock(out, params, block);
        if (block == 0) {
            frame.layout.block0End = out.BitCount();
        }
    }
    frame.layout.blocksEnd = out.BitCount();
    // All audio must lie where crc1 protects it, so a decoder can trust it before the
    // whole frame has arrived, with at least one auxiliary bit left there (see below).
    if (frame.layout.blocksEnd >= 8 * crc1End) {
        return std::nullopt;
    }
    // The rest is auxiliary data the decoder skips: zero auxbits, then auxdatae 0,
    // crcrsv 0 and crc2.
    out.PadTo(frameBits - 18);
    out.Put(0, 1);   // auxdatae
    out.Put(0, 1);   // crcrsv
    out.Put(0, 16);  // crc2, filled in below
    if (!out.Ok()) {
        return std::nullopt;
    }
    frame.bytes = out.Bytes();
    SetAc3Crcs(frame.bytes);
    // crc1 is the only word of the frame that can turn out to be a sync word (byte 1 is
    // 0x77 and byte 4 never 0x77); about one parameter set in 60000 does it. A parser
    // hunting for sync cuts the frame there (ffmpeg then drops it as corrupt), so change
    // the last auxiliary bit crc1 covers, which moves crc1 to another value.
    if (frame.bytes[2] == 0x0B && frame.bytes[3] == 0x77) {
        frame.bytes[static_cast<std::size_t>(crc1End) - 1] ^= 0x01;
        SetAc3Crcs(frame.bytes);
    }
    return frame;
}

}  // namespace velmora
