// Builds a complete E-AC-3 sync frame that decodes to digital silence.
#include "silence/silent_eac3_frame.h"

#include <array>
#include <span>

#include "formats/ac3_crc.h"
#include "silence/bit_writer.h"

namespace velmora {

namespace {

constexpr std::uint32_t kSyncWord = 0x0B77;
constexpr int kIndependent = 0;
constexpr int kDependent = 1;
constexpr int kConvertedFromAc3 = 2;
constexpr int kReducedRate = 3;       // fscod: the rate is in fscod2, always six blocks
constexpr int kSixBlocks = 3;         // numblkscod
constexpr int kMaxFrameBytes = 4096;  // frmsiz has 11 bits: 2048 words
constexpr int kMinBsid = 11;
constexpr int kMaxBsid = 16;
constexpr int kMaxAc3Frmsizecod = 37;
constexpr int kDualMono = 0;
constexpr int kStereo = 2;
// The last bits of every frame: auxdatae, encinfo and the CRC word.
constexpr int kTailBits = 1 + 1 + 16;

constexpr std::array<int, 4> kBlocks = {1, 2, 3, 6};  // by numblkscod
// Full-bandwidth channels per acmod, as in AC-3.
constexpr std::array<int, 8> kFullBandwidthChannels = {2, 1, 2, 3, 3, 4, 4, 5};
// Channels each chanmap bit stands for, first-sent bit first: L, C, R, Ls, Rs, Lc/Rc,
// Lrs/Rrs, Cs, Ts, Lsd/Rsd, Lw/Rw, Vhl/Vhr, Vhc, Lts/Rts, LFE2, LFE.
constexpr std::array<int, 16> kChanmapChannels = {1, 1, 1, 1, 1, 2, 2, 1, 1, 2, 2, 2, 1, 2, 1, 1};

// Exponent strategies: 0 reuse the previous block's, 3 D45 (one delta per four bins).
constexpr std::uint32_t kExpReuse = 0;
constexpr std::uint32_t kExpD45 = 3;
// What a converter back to AC-3 should use for each channel, as an index into the table of
// six-block strategy runs: 0 is D15 in the first block and reuse after, the run closest to
// these frames (the table has no D45-then-reuse run).
constexpr std::uint32_t kConverterExpStrategy = 0;

// chbwcod 0 keeps the coded bandwidth as small as it goes: endmant = 73 + 3 * 0.
constexpr std::uint32_t kChbwcod = 0;
constexpr int kEndMant = 73 + 3 * static_cast<int>(kChbwcod);
// D45 groups of a full-bandwidth channel: three deltas of four bins each per 7-bit group;
// bin 0 has its own absolute exponent.
constexpr int kD45Groups = (kEndMant + 8) / 12;
// The LFE channel always has 7 bins: one absolute exponent and two D15 groups.
constexpr int kLfeGroups = 2;
// A flat exponent of 15 keeps every running exponent well inside 0..24, and a group of
// three zero deltas is (0 + 2) * 25 + (0 + 2) * 5 + (0 + 2) = 62.
constexpr std::uint32_t kAbsExponent = 15;
constexpr std::uint32_t kZeroDeltaGroup = 62;

std::uint32_t U(int value) {
    return static_cast<std::uint32_t>(value);
}
std::uint32_t U(bool value) {
    return value ? 1u : 0u;
}

int ChanmapChannels(int chanmap) {
    int channels = 0;
    for (int location = 0; location < 16; ++location) {
        if ((chanmap >> (15 - location)) & 1) {
            channels += kChanmapChannels[static_cast<std::size_t>(location)];
        }
    }
    return channels;
}

bool FieldsInRange(const SilentEac3FrameParams& p) {
    const bool sizeOk = p.frameBytes > 0 && p.frameBytes <= kMaxFrameBytes && p.frameBytes % 2 == 0;
    const bool rateOk =
        p.fscod >= 0 && p.fscod <= kReducedRate && p.numblkscod >= 0 &&
        p.numblkscod <= kSixBlocks &&
        (p.fscod != kReducedRate || (p.fscod2 >= 0 && p.fscod2 <= 2 && p.numblkscod == kSixBlocks));
    const bool typeOk = p.strmtyp >= kIndependent && p.strmtyp <= kConvertedFromAc3 &&
                        p.substreamid >= 0 && p.substreamid <= 7;
    const bool layoutOk = p.acmod >= 0 && p.acmod <= 7 && p.bsid >= kMinBsid && p.bsid <= kMaxBsid;
    const bool ac3SizeOk = p.ac3Frmsizecod >= 0 && p.ac3Frmsizecod <= kMaxAc3Frmsizecod;
    bool mapOk = true;
    if (p.chanmap) {
        const int carried =
            kFullBandwidthChannels[static_cast<std::size_t>(p.acmod & 7)] + (p.lfeon ? 1 : 0);
        mapOk = p.strmtyp == kDependent && *p.chanmap >= 0 && *p.chanmap <= 0xFFFF &&
                ChanmapChannels(*p.chanmap) == carried;
    }
    // dialnorm and the SNR offsets are checked by their field widths.
    return sizeOk && rateOk && typeOk && layoutOk && ac3SizeOk && mapOk;
}

void WriteBsi(BitWriter& out, const SilentEac3FrameParams& p) {
    out.Put(kSyncWord, 16);
    out.Put(U(p.strmtyp), 2);
    out.Put(U(p.substreamid), 3);
    out.Put(U(p.frameBytes / 2 - 1), 11);  // frmsiz
    out.Put(U(p.fscod), 2);
    out.Put(U(p.fscod == kReducedRate ? p.fscod2 : p.numblkscod), 2);
    out.Put(U(p.acmod), 3);
    out.Put(U(p.lfeon), 1);
    out.Put(U(p.bsid), 5);
    // Dual mono repeats dialnorm and compre for its second channel; silence gives no reason
    // for the two to differ.
    const int programmes = p.acmod == kDualMono ? 2 : 1;
    for (int programme = 0; programme < programmes; ++programme) {
        out.Put(U(p.dialnorm), 5);
        out.Put(0, 1);  // compre: no compression gain word
    }
    if (p.strmtyp == kDependent) {
        out.Put(U(p.chanmap.has_value()), 1);  // chanmape
        if (p.chanmap) {
            out.Put(U(*p.chanmap), 16);
        }
    }
    out.Put(0, 1);  // mixmdate: no mixing metadata
    out.Put(0, 1);  // infomdate: no informational metadata
    if (p.strmtyp == kIndependent && p.numblkscod != kSixBlocks) {
        out.Put(U(p.convsync), 1);
    }
    if (p.strmtyp == kConvertedFromAc3) {
        // blkid is implied for six-block frames, which always start a group.
        const bool blkid = p.numblkscod == kSixBlocks || p.convsync;
        if (p.numblkscod != kSixBlocks) {
            out.Put(U(blkid), 1);
        }
        if (blkid) {
            out.Put(U(p.ac3Frmsizecod), 6);
        }
    }
    out.Put(0, 1);  // addbsie: no additional bit stream information
}

// The frame-wide part before the blocks: which syntax the blocks use, coupling use and
// exponent strategies for every block, and one SNR offset for the whole frame.
void WriteAudioFrame(BitWriter& out, const SilentEac3FrameParams& p) {
    const int blocks = kBlocks[static_cast<std::size_t>(p.numblkscod)];
    const int channels = kFullBandwidthChannels[static_cast<std::size_t>(p.acmod)];
    if (p.numblkscod == kSixBlocks) {
        // expstre: strategies per block, 2 bits each. The frame-wide alternative codes a
        // run starting with D15, whose 24 exponent groups per channel cost far more.
        out.Put(1, 1);
        out.Put(0, 1);  // ahte: no adaptive hybrid transform
    }
    out.Put(0, 2);  // snroffststr 0: one SNR offset for the frame, none in the blocks
    out.Put(0, 1);  // transproce: no transient pre-noise processing
    out.Put(0, 1);  // blkswe: no block switch flags, every block uses the long transform
    // dithflage: the dither flags are sent. Without them every channel dithers, and
    // dithered zero-bit bins are noise instead of zeros.
    out.Put(1, 1);
    out.Put(0, 1);  // bamode: default bit allocation parameters
    out.Put(0, 1);  // frmfgaincode: default fast gain
    out.Put(0, 1);  // dbaflde: no delta bit allocation
    out.Put(0, 1);  // skipflde: no skip fields
    out.Put(0, 1);  // spxattene: no spectral extension attenuation
    if (p.acmod > 1) {
        // Block 0 always carries a coupling strategy (its cplstre is implied); coupling
        // stays off and the later blocks keep that.
        out.Put(0, 1);  // cplinu[0]
        for (int block = 1; block < blocks; ++block) {
            out.Put(0, 1);  // cplstre
        }
    }
    for (int block = 0; block < blocks; ++block) {
        for (int ch = 0; ch < channels; ++ch) {
            out.Put(block == 0 ? kExpD45 : kExpReuse, 2);  // chexpstr
        }
    }
    if (p.lfeon) {
        for (int block = 0; block < blocks; ++block) {
            out.Put(U(block == 0), 1);  // lfeexpstr: 1 new (D15), 0 reuse
        }
    }
    if (p.strmtyp == kIndependent) {
        // Strategies for a converter back to AC-3: always sent in six-block frames, and
        // sent with the frame that starts a group otherwise.
        const bool convexpstre = p.numblkscod == kSixBlocks || p.convsync;
        if (p.numblkscod != kSixBlocks) {
            out.Put(U(convexpstre), 1);
        }
        if (convexpstre) {
            for (int ch = 0; ch < channels; ++ch) {
                out.Put(kConverterExpStrategy, 5);  // convexpstr
            }
        }
    }
    out.Put(U(p.csnroffst), 6);  // frmcsnroffst
    out.Put(U(p.fsnroffst), 4);  // frmfsnroffst
    if (blocks > 1) {
        out.Put(0, 1);  // blkstrtinfoe: no block start positions
    }
}

// One audio block. Block 0 sends the bandwidth and the exponents every later block
// reuses; no block carries mantissas, because the SNR offset leaves every bin without
// bits.
void WriteAudioBlock(BitWriter& out, const SilentEac3FrameParams& p, int block) {
    const int channels = kFullBandwidthChannels[static_cast<std::size_t>(p.acmod)];
    const bool first = block == 0;
    for (int ch = 0; ch < channels; ++ch) {
        out.Put(U(p.dithflag), 1);  // dithflag: zero-bit bins stay exactly 0 without it
    }
    out.Put(0, 1);  // dynrnge: no dynamic range word, gain 1
    if (p.acmod == kDualMono) {
        out.Put(0, 1);  // dynrng2e, the same for the second channel
    }
    if (!first) {
        out.Put(0, 1);  // spxstre: keep the strategy of block 0 (implied there)
    } else {
        out.Put(0, 1);  // spxinu: no spectral extension
    }
    // Coupling is off, so neither coupling strategy nor coordinates follow.
    if (p.acmod == kStereo) {
        if (first) {
            out.Put(0, 4);  // rematflg of the four bands (rematstr is implied in block 0)
        } else {
            out.Put(0, 1);  // rematstr: keep them
        }
    }
    if (first) {
        for (int ch = 0; ch < channels; ++ch) {
            out.Put(kChbwcod, 6);  // chbwcod, for every channel with new exponents
        }
        for (int ch = 0; ch < channels; ++ch) {
            out.Put(kAbsExponent, 4);
            for (int group = 0; group < kD45Groups; ++group) {
                out.Put(kZeroDeltaGroup, 7);
            }
            out.Put(0, 2);  // gainrng
        }
        if (p.lfeon) {
            out.Put(kAbsExponent, 4);
            for (int group = 0; group < kLfeGroups; ++group) {
                out.Put(kZeroDeltaGroup, 7);
            }
        }
    }
    if (p.strmtyp == kIndependent) {
        out.Put(0, 1);  // convsnroffste: no SNR offset for a converter
    }
    // Bit allocation parameters, SNR offsets, fast gains, delta bit allocation and skip
    // fields are all off at frame level, so nothing more is sent.
}

}  // namespace

std::optional<std::vector<std::uint8_t>> BuildSilentEac3Frame(const SilentEac3FrameParams& params) {
    if (!FieldsInRange(params)) {
        return std::nullopt;
    }
    const std::int64_t frameBits = 8 * static_cast<std::int64_t>(params.frameBytes);
    BitWriter out;
    WriteBsi(out, params);
    WriteAudioFrame(out, params);
    for (int block = 0; block < kBlocks[static_cast<std::size_t>(params.numblkscod)]; ++block) {
        WriteAudioBlock(out, params, block);
    }
    // At least one auxiliary bit must remain: it is what gets changed if the CRC word would
    // read as a sync word.
    const std::int64_t auxEnd = frameBits - kTailBits;
    if (out.BitCount() >= auxEnd) {
        return std::nullopt;
    }
    // The rest is auxiliary data the decoder skips: zero bits, auxdatae 0, encinfo 0 and
    // the CRC word.
    out.PadTo(auxEnd);
    out.Put(0, 1);   // auxdatae
    out.Put(0, 1);   // encinfo
    out.Put(0, 16);  // crc2, filled in below
    if (!out.Ok()) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> frame = out.Bytes();
    // One CRC word protects the whole frame after the sync word: the CRC of bytes
    // [2, size - 2) is stored in the last two, so a run over [2, size) ends at 0.
    const auto setCrc = [&frame] {
        const std::size_t end = frame.size() - 2;
        const std::uint16_t crc = Ac3Crc(std::span<const std::uint8_t>(frame).subspan(2, end - 2));
        frame[end] = static_cast<std::uint8_t>(crc >> 8);
        frame[end + 1] = static_cast<std::uint8_t>(crc & 0xFF);
        return crc;
    };
    if (setCrc() == kSyncWord) {
        // A sync word at the end of the frame could stop a parser hunting for the next
        // frame; a changed auxiliary bit moves the CRC to another value (any single-bit
        // change does).
        const auto lastAuxBit = static_cast<std::size_t>(auxEnd - 1);
        frame[lastAuxBit / 8] ^= static_cast<std::uint8_t>(0x80u >> (lastAuxBit % 8));
        setCrc();
    }
    return frame;
}

}  // namespace velmora
