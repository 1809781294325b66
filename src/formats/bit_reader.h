// Reads bit fields most significant bit first from a byte span.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora {

// Reading past the end never touches memory outside the span: such bits read as 0 and the
// overrun flag stays set, so a caller can check once after a whole header.
class BitReader {
  public:
    explicit BitReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    // Up to 32 bits as an unsigned value.
    [[nodiscard]] std::uint32_t Read(int bitCount) {
        std::uint32_t value = 0;
        for (int i = 0; i < bitCount; ++i) {
            value = (value << 1) | ReadBit();
        }
        return value;
    }

    void Skip(int bitCount) { static_cast<void>(Read(bitCount)); }

    [[nodiscard]] bool Overrun() const { return overrun_; }
    [[nodiscard]] std::size_t BitPosition() const { return position_; }

  private:
    std::uint32_t ReadBit() {
        const std::size_t byte = position_ / 8;
        if (byte >= bytes_.size()) {
            overrun_ = true;
            return 0;
        }
        const unsigned shift = 7U - static_cast<unsigned>(position_ % 8);
        ++position_;
        return (bytes_[byte] >> shift) & 1U;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool overrun_ = false;
};

}  // namespace velmora
