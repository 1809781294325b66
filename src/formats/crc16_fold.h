// The CRC-16 of AC-3 and MPEG audio (generator 0x8005, most significant bit first) over long
// runs, by carry-less multiplication: every byte of an AC-3 stream is checked on the copy.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace velmora {

struct FoldedCrc16 {
    // A message of 16 bytes with the same remainder as the bytes folded: the register after
    // running over it from 0 is the register after bytes[0, consumed) from `start`.
    std::array<std::uint8_t, 16> bytes{};
    std::size_t consumed = 0;
};

// Folds the whole 16-byte blocks at the front of `bytes`; nothing where the processor lacks
// the instructions or there are fewer than 64 bytes.
[[nodiscard]] std::optional<FoldedCrc16> FoldCrc16(std::span<const std::uint8_t> bytes,
                                                   std::uint16_t start);

}  // namespace velmora
