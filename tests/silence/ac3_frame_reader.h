// An independent reader for checking built AC-3 frames: header fields, a CRC, and a walk
// through the audio blocks of frames that carry no mantissas.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace velmora::test {

// Reads fields most significant bit first. Reading past the end returns 0 and sets a
// sticky Overrun() flag, so a caller checks once after a run of reads.
class Ac3BitReader {
  public:
    explicit Ac3BitReader(std::span<const std::uint8_t> bytes, std::int64_t startBit = 0)
        : bytes_(bytes), position_(startBit) {}

    [[nodiscard]] int Read(int width);
    [[nodiscard]] std::int64_t Position() const { return position_; }
    [[nodiscard]] bool Overrun() const { return overrun_; }

  private:
    std::span<const std::uint8_t> bytes_;
    std::int64_t position_ = 0;
    bool overrun_ = false;
};

// syncinfo and bit stream information of one frame, as read back from its bytes. An
// optional field is empty when the frame does not carry it.
struct Ac3Bsi {
    int fscod = 0;
    int frmsizecod = 0;
    int bsid = 0;
    int bsmod = 0;
    int acmod = 0;
    std::optional<int> cmixlev;
    std::optional<int> surmixlev;
    std::optional<int> dsurmod;
    int lfeon = 0;
    int dialnorm = 0;
    std::optional<int> compr;     // compre = 1
    std::optional<int> langcod;   // langcode = 1
    std::optional<int> mixlevel;  // audprodie = 1
    std::optional<int> roomtyp;   // audprodie = 1
    int copyrightb = 0;
    int origbs = 0;
    std::optional<int> timecod1;  // timecod1e = 1
    std::optional<int> timecod2;  // timecod2e = 1
    int addbsie = 0;

    bool operator==(const Ac3Bsi&) const = default;
};

void PrintTo(const Ac3Bsi& bsi, std::ostream* out);

struct Ac3BsiRead {
    Ac3Bsi bsi;
    std::int64_t endBit = 0;  // first bit after the bit stream information
};

// Nothing when the sync word is wrong, the frame is too short, or the frame is dual mono
// (acmod 0), which this reader does not follow.
[[nodiscard]] std::optional<Ac3BsiRead> ReadAc3Bsi(std::span<const std::uint8_t> frame);

// A table-driven CRC with the AC-3 generator (x^16 + x^15 + x^2 + 1, MSB first, register
// from 0), written apart from the builder's bitwise one so that each checks the other.
[[nodiscard]] std::uint16_t ReferenceAc3Crc(std::span<const std::uint8_t> bytes,
                                            std::uint16_t start = 0);

// End of the part crc1 protects, in bytes, for a frame of `bytes` bytes.
[[nodiscard]] std::size_t ReferenceCrc1End(std::size_t bytes);

struct Ac3BlockWalk {
    // Every rule the frame breaks; empty for a frame that is well formed and silent by
    // construction (no dither, no bits for any mantissa).
    std::vector<std::string> problems;
    std::int64_t blocksEnd = 0;  // first bit after audio block 5
};

// Walks the six audio blocks the way a decoder reads them and checks what block 0 must
// carry (coupling strategy, rematrixing for 2/0, new exponents for every channel and the
// LFE, bit allocation parameters, SNR offsets), every exponent's range and the bandwidth
// codes. It stops at the first block that uses coupling or delta bit allocation, or that
// would carry mantissas, since the frames it is meant for have none of these.
[[nodiscard]] Ac3BlockWalk WalkSilentAc3Blocks(std::span<const std::uint8_t> frame);

// The problems one per line, for failure messages; empty when there are none.
[[nodiscard]] std::string Join(const std::vector<std::string>& problems);

}  // namespace velmora::test
