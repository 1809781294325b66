// An independent reader for checking built AC-3 frames.
#include "silence/ac3_frame_reader.h"

#include <array>
#include <utility>

namespace velmora::test {

namespace {

constexpr int kBlocks = 6;

// Full-bandwidth channels per acmod (A/52 Table 5.8).
constexpr std::array<int, 8> kChannels = {2, 1, 2, 3, 3, 4, 4, 5};

constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned crc = byte << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000u) ? (crc << 1) ^ 0x8005u : crc << 1;
        }
        table[byte] = static_cast<std::uint16_t>(crc & 0xFFFFu);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();

// State a block may inherit from the blocks before it in the same frame.
struct WalkState {
    std::array<bool, 5> haveExponents{};
    std::array<int, 5> endmant{};
    bool haveLfeExponents = false;
    bool haveBitAllocation = false;
    bool haveSnrOffsets = false;
    bool anySnrOffset = false;  // some SNR offset is not 0, so mantissas get bits
};

class Walker {
  public:
    Walker(std::span<const std::uint8_t> frame, const Ac3Bsi& bsi, std::int64_t start)
        : bsi_(bsi), in_(frame, start), channels_(kChannels[static_cast<std::size_t>(bsi.acmod)]) {}

    // Walks one block; false when the walk cannot go on.
    bool Block(int block) {
        const bool first = block == 0;
        for (int ch = 0; ch < channels_; ++ch) {
            static_cast<void>(in_.Read(1));  // blksw: either transform decodes zeros to zeros
        }
        for (int ch = 0; ch < channels_; ++ch) {
            if (in_.Read(1) != 0) {
                Problem(block, "dithflag set: bins without bits would be filled with noise");
            }
        }
        if (in_.Read(1) != 0) {
            static_cast<void>(in_.Read(8));  // dynrng
        }
        const bool cplstre = in_.Read(1) != 0;
        if (first && !cplstre) {
            Problem(block, "block 0 without a coupling strategy");
        }
        if (cplstre && in_.Read(1) != 0) {
            Problem(block, "coupling in use; this walk does not follow coupling");
            return false;
        }
        if (bsi_.acmod == 2) {
            const bool rematstr = in_.Read(1) != 0;
            if (first && !rematstr) {
                Problem(block, "block 0 of a 2/0 frame without a rematrixing strategy");
            }
            if (rematstr) {
                static_cast<void>(in_.Read(4));  // rematflg, four bands without coupling
            }
        }
        std::array<int, 5> chexpstr{};
        for (int ch = 0; ch < channels_; ++ch) {
            chexpstr[static_cast<std::size_t>(ch)] = in_.Read(2);
        }
        int lfeexpstr = 0;
        if (bsi_.lfeon != 0) {
            lfeexpstr = in_.Read(1);
        }
        for (int ch = 0; ch < channels_; ++ch) {
            if (chexpstr[static_cast<std::size_t>(ch)] == 0) {
                continue;
            }
            const int chbwcod = in_.Read(6);
            if (chbwcod > 60) {
                Problem(block, "chbwcod above 60");
            }
            state_.endmant[static_cast<std::size_t>(ch)] = 37 + 3 * (chbwcod + 12);
        }
        for (int ch = 0; ch < channels_; ++ch) {
            const auto c = static_cast<std::size_t>(ch);
            if (chexpstr[c] == 0) {
                if (!state_.haveExponents[c]) {
                    Problem(block,
                            "channel " + std::to_string(ch) + " reuses exponents it never had");
                }
                continue;
            }
            const int span = chexpstr[c] == 1 ? 3 : chexpstr[c] == 2 ? 6 : 12;
            Exponents(block, (state_.endmant[c] - 1 + span - 3) / span);
            static_cast<void>(in_.Read(2));  // gainrng
            state_.haveExponents[c] = true;
        }
        if (bsi_.lfeon != 0) {
            if (lfeexpstr != 0) {
                Exponents(block, 2);
                state_.haveLfeExponents = true;
            } else if (!state_.haveLfeExponents) {
                Problem(block, "LFE reuses exponents it never had");
            }
        }
        if (in_.Read(1) != 0) {  // baie
            static_cast<void>(in_.Read(11));
            state_.haveBitAllocation = true;
        } else if (!state_.haveBitAllocation) {
            Problem(block, "no bit allocation parameters yet");
        }
        if (in_.Read(1) != 0) {           // snroffste
            bool any = in_.Read(6) != 0;  // csnroffst
            const int pairs = channels_ + bsi_.lfeon;
            for (int ch = 0; ch < pairs; ++ch) {
                any = in_.Read(4) != 0 || any;   // fsnroffst
                static_cast<void>(in_.Read(3));  // fgaincod
            }
            state_.haveSnrOffsets = true;
            state_.anySnrOffset = any;
        } else if (!state_.haveSnrOffsets) {
            Problem(block, "no SNR offsets yet");
        }
        if (in_.Read(1) != 0) {
            Problem(block, "delta bit allocation; this walk does not follow it");
            return false;
        }
        if (in_.Read(1) != 0) {  // skiple
            const int skipl = in_.Read(9);
            for (int i = 0; i < skipl; ++i) {
                static_cast<void>(in_.Read(8));
            }
        }
        // All SNR offsets 0 means no mantissa gets bits; anything else may, and then the
        // frame is not silent by construction and the walk cannot tell where block ends.
        if (state_.anySnrOffset) {
            Problem(block, "SNR offsets not all 0: mantissas may follow");
            return false;
        }
        if (in_.Overrun()) {
            Problem(block, "runs past the end of the frame");
            return false;
        }
        return true;
    }

    [[nodiscard]] std::int64_t Position() const { return in_.Position(); }
    [[nodiscard]] std::vector<std::string> TakeProblems() { return std::move(problems_); }

  private:
    // An absolute exponent and `groups` groups of three deltas; the running exponent must
    // stay inside 0..24.
    void Exponents(int block, int groups) {
        int exponent = in_.Read(4);
        for (int group = 0; group < groups; ++group) {
            const int value = in_.Read(7);
            if (value >= 125) {
                Problem(block, "exponent group above 124");
            }
            for (const int m : {value / 25, (value % 25) / 5, value % 5}) {
                exponent += m - 2;
                if (exponent < 0 || exponent > 24) {
                    Problem(block, "exponent outside 0..24");
                }
            }
        }
    }

    void Problem(int block, const std::string& text) {
        problems_.push_back("block " + std::to_string(block) + ": " + text);
    }

    const Ac3Bsi& bsi_;
    Ac3BitReader in_;
    int channels_;
    WalkState state_;
    std::vector<std::string> problems_;
};

}  // namespace

int Ac3BitReader::Read(int width) {
    int value = 0;
    for (int i = 0; i < width; ++i) {
        const std::int64_t byte = position_ / 8;
        int bit = 0;
        if (byte < static_cast<std::int64_t>(bytes_.size())) {
            bit = (bytes_[static_cast<std::size_t>(byte)] >> (7 - position_ % 8)) & 1;
        } else {
            overrun_ = true;
        }
        value = (value << 1) | bit;
        ++position_;
    }
    return value;
}

void PrintTo(const Ac3Bsi& bsi, std::ostream* out) {
    const auto opt = [](const std::optional<int>& v) {
        return v ? std::to_string(*v) : std::string("-");
    };
    *out << "{fscod " << bsi.fscod << ", frmsizecod " << bsi.frmsizecod << ", bsid " << bsi.bsid
         << ", bsmod " << bsi.bsmod << ", acmod " << bsi.acmod << ", cmixlev " << opt(bsi.cmixlev)
         << ", surmixlev " << opt(bsi.surmixlev) << ", dsurmod " << opt(bsi.dsurmod) << ", lfeon "
         << bsi.lfeon << ", dialnorm " << bsi.dialnorm << ", compr " << opt(bsi.compr)
         << ", langcod " << opt(bsi.langcod) << ", mixlevel " << opt(bsi.mixlevel) << ", roomtyp "
         << opt(bsi.roomtyp) << ", copyrightb " << bsi.copyrightb << ", origbs " << bsi.origbs
         << ", timecod1 " << opt(bsi.timecod1) << ", timecod2 " << opt(bsi.timecod2) << ", addbsie "
         << bsi.addbsie << "}";
}

std::optional<Ac3BsiRead> ReadAc3Bsi(std::span<const std::uint8_t> frame) {
    Ac3BitReader in(frame);
    if (in.Read(16) != 0x0B77) {
        return std::nullopt;
    }
    static_cast<void>(in.Read(16));  // crc1
    Ac3Bsi bsi;
    const auto optional = [&in](int width) -> std::optional<int> {
        if (in.Read(1) == 0) {
            return std::nullopt;
        }
        return in.Read(width);
    };
    bsi.fscod = in.Read(2);
    bsi.frmsizecod = in.Read(6);
    bsi.bsid = in.Read(5);
    bsi.bsmod = in.Read(3);
    bsi.acmod = in.Read(3);
    if (bsi.acmod == 0) {
        return std::nullopt;
    }
    if ((bsi.acmod & 1) != 0 && bsi.acmod != 1) {
        bsi.cmixlev = in.Read(2);
    }
    if ((bsi.acmod & 4) != 0) {
        bsi.surmixlev = in.Read(2);
    }
    if (bsi.acmod == 2) {
        bsi.dsurmod = in.Read(2);
    }
    bsi.lfeon = in.Read(1);
    bsi.dialnorm = in.Read(5);
    bsi.compr = optional(8);
    bsi.langcod = optional(8);
    if (in.Read(1) != 0) {  // audprodie
        bsi.mixlevel = in.Read(5);
        bsi.roomtyp = in.Read(2);
    }
    bsi.copyrightb = in.Read(1);
    bsi.origbs = in.Read(1);
    bsi.timecod1 = optional(14);
    bsi.timecod2 = optional(14);
    bsi.addbsie = in.Read(1);
    if (bsi.addbsie != 0) {
        const int length = in.Read(6) + 1;
        for (int i = 0; i < length; ++i) {
            static_cast<void>(in.Read(8));
        }
    }
    if (in.Overrun()) {
        return std::nullopt;
    }
    return Ac3BsiRead{bsi, in.Position()};
}

std::uint16_t ReferenceAc3Crc(std::span<const std::uint8_t> bytes, std::uint16_t start) {
    unsigned crc = start;
    for (const std::uint8_t byte : bytes) {
        crc = ((crc << 8) ^ kCrcTable[((crc >> 8) ^ byte) & 0xFFu]) & 0xFFFFu;
    }
    return static_cast<std::uint16_t>(crc);
}

std::size_t ReferenceCrc1End(std::size_t bytes) {
    const std::size_t words = bytes / 2;
    return 2 * (words / 2 + words / 8);
}

Ac3BlockWalk WalkSilentAc3Blocks(std::span<const std::uint8_t> frame) {
    Ac3BlockWalk walk;
    const std::optional<Ac3BsiRead> read = ReadAc3Bsi(frame);
    if (!read) {
        walk.problems.push_back("no readable bit stream information");
        return walk;
    }
    Walker walker(frame, read->bsi, read->endBit);
    for (int block = 0; block < kBlocks; ++block) {
        if (!walker.Block(block)) {
            break;
        }
    }
    walk.blocksEnd = walker.Position();
    walk.problems = walker.TakeProblems();
    return walk;
}

std::string Join(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& problem : problems) {
        text += problem + "\n";
    }
    return text;
}

}  // namespace velmora::test
