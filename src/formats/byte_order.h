// The byte order of 16-bit words, which some tools store low byte first.
#pragma once

#include <cstdint>
#include <span>
#include <utility>

namespace velmora {

// Swaps the two bytes of every whole word; a lone last byte stays as it is.
inline void SwapWords(std::span<std::uint8_t> bytes) {
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        std::swap(bytes[at], bytes[at + 1]);
    }
}

}  // namespace velmora
