// Packs fields of any width into bytes, most significant bit first.
#include "silence/bit_writer.h"

namespace velmora {

void BitWriter::PutBit(bool bit) {
    if (bitCount_ % 8 == 0) {
        bytes_.push_back(0);
    }
    if (bit) {
        bytes_.back() |= static_cast<std::uint8_t>(0x80u >> (bitCount_ % 8));
    }
    ++bitCount_;
}

void BitWriter::Put(std::uint32_t value, int width) {
    if (width < 0 || width > 32) {
        ok_ = false;
        return;
    }
    if (width < 32 && (value >> width) != 0) {
        ok_ = false;
    }
    for (int bit = width - 1; bit >= 0; --bit) {
        PutBit(((value >> bit) & 1u) != 0);
    }
}

void BitWriter::PadTo(std::int64_t bitCount) {
    if (bitCount < bitCount_) {
        ok_ = false;
        return;
    }
    while (bitCount_ < bitCount) {
        PutBit(false);
    }
}

}  // namespace velmora
