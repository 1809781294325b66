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

    // Up to 32 bits as an unsigned value. Takes whole runs of a byte at a time: the frame
    // walk decodes a header for every frame, so this is on the copy's path.
    [[nodiscard]] std::uint32_t Read(int bitCount) {
        std::uint64_t value = 0;
        int remaining = bitCount;
        while (remaining > 0) {
            const std::size_t byte = position_ / 8;
            if (byte >= bytes_.size()) {
                overrun_ = true;
                return static_cast<std::uint32_t>(value << remaining);
            }
            const int available = 8 - static_cast<int>(position_ % 8);
            const int take = remaining < available ? remaining : available;
            const unsigned bits = (static_cast<unsigned>(bytes_[byte]) >> (available - take)) &
                                  ((1U << take) - 1U);
            value = (value << take) | bits;
            position_ += static_cast<std::size_t>(take);
            remaining -= take;
        }
        return static_cast<std::uint32_t>(value);
    }

    void Skip(int bitCount) {
        for (; bitCount > 0; bitCount -= 32) {
            static_cast<void>(Read(bitCount < 32 ? bitCount : 32));
        }
    }

    [[nodiscard]] bool Overrun() const { return overrun_; }
    [[nodiscard]] std::size_t BitPosition() const { return position_; }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool overrun_ = false;
};

}  // namespace velmora
