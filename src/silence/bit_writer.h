// Packs fields of any width into bytes, most significant bit first, as AC-3 frames need.
#pragma once

#include <cstdint>
#include <vector>

namespace velmora {

// Appends fields one after the other with no alignment between them. A field whose value
// does not fit its width (or a width outside 0..32) is a mistake in the caller's
// parameters: the writer then stores the value's low bits and remembers the mistake in
// Ok(), so a frame built from bad parameters is refused instead of silently truncated.
class BitWriter {
  public:
    // Appends the `width` low bits of `value`, most significant first.
    void Put(std::uint32_t value, int width);

    // Appends zero bits until BitCount() reaches `bitCount`; a target behind the current
    // position is a mistake (see Ok()).
    void PadTo(std::int64_t bitCount);

    [[nodiscard]] std::int64_t BitCount() const { return bitCount_; }
    // False once any field did not fit.
    [[nodiscard]] bool Ok() const { return ok_; }
    // Whole bytes written so far; a partly filled last byte has zeros in its unused bits.
    [[nodiscard]] const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

  private:
    void PutBit(bool bit);

    std::vector<std::uint8_t> bytes_;
    std::int64_t bitCount_ = 0;
    bool ok_ = true;
};

}  // namespace velmora
