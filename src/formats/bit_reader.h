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

    // Up to 32 bits as an unsigned value. The bits wait in a 64-bit word, filled a byte at a
    // time, so a field costs a shift and a mask: the frame walk decodes a header for every
    // frame, so this is on the copy's path.
    [[nodiscard]] std::uint32_t Read(int bitCount) {
        if (bitCount <= 0) {
            return 0;
        }
        while (cached_ < bitCount) {
            const std::uint64_t byte = loaded_ < bytes_.size() ? bytes_[loaded_] : 0;
            cache_ |= byte << (56 - cached_);
            ++loaded_;
            cached_ += 8;
        }
        const auto value = static_cast<std::uint32_t>(cache_ >> (64 - bitCount));
        cache_ <<= bitCount;
        cached_ -= bitCount;
        position_ += static_cast<std::size_t>(bitCount);
        if (position_ > bytes_.size() * 8) {
            overrun_ = true;
        }
        return value;
    }

    void Skip(int bitCount) {
        for (; bitCount > 0; bitCount -= 32) {
            static_cast<void>(Read(bitCount < 32 ? bitCount : 32));
        }
    }

    [[nodiscard]] bool Overrun() const { return overrun_; }

  private:
    std::span<const std::uint8_t> bytes_;
    std::uint64_t cache_ = 0;  // the next bits, from the top down
    int cached_ = 0;           // how many bits of cache_ are waiting
    std::size_t loaded_ = 0;   // the next byte to take into the cache
    std::size_t position_ = 0;
    bool overrun_ = false;
};

}  // namespace velmora
