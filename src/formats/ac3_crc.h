// The two CRC words of an AC-3 sync frame (ATSC A/52): how they are computed and placed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora {

// CRC with generator x^16 + x^15 + x^2 + 1, data fed most significant bit first, no
// reflection and no final inversion, continuing from register value `start`. A run over
// data followed by its own CRC word ends at 0. "123456789" gives 0xFEE8.
[[nodiscard]] std::uint16_t Ac3Crc(std::span<const std::uint8_t> bytes, std::uint16_t start = 0);

// The same generator over the first `bitCount` bits of `bytes`, for ranges that end
// inside a byte. MPEG audio protects its frames with this generator too, starting from
// 0xFFFF. A count beyond the buffer stops at its end.
[[nodiscard]] std::uint16_t Crc16Bits(std::span<const std::uint8_t> bytes, std::int64_t bitCount,
                                      std::uint16_t start);

// Byte offset where the part of a frame that crc1 protects ends, for a frame of
// `frameWords` 16-bit words. Written with shifts on purpose: a plain floor(5 * words / 8)
// differs for some 44.1 kHz sizes, and decoders use this form.
[[nodiscard]] std::size_t Ac3Crc1End(std::size_t frameWords);

// The crc1 word for a whole frame (any content in bytes 2 and 3 is ignored): the value
// that makes the CRC over bytes [2, Ac3Crc1End) come out 0. Found in closed form by
// dividing the CRC of bytes [4, Ac3Crc1End) by x^(bits + 16) modulo the generator.
// Buffers shorter than 8 bytes or of an odd length give 0.
[[nodiscard]] std::uint16_t Ac3Crc1Value(std::span<const std::uint8_t> frame);

// The crc2 word for a whole frame: the CRC of bytes [Ac3Crc1End, size - 2). Buffers
// shorter than 8 bytes or of an odd length give 0.
[[nodiscard]] std::uint16_t Ac3Crc2Value(std::span<const std::uint8_t> frame);

// Stores crc1 in bytes 2-3 and crc2 in the last two bytes, big-endian. If crc2 would read
// as a sync word (0x0B77), the reserved bit just before it is set first, so that a search
// for the next frame cannot stop there. Buffers too small for both words are left alone.
void SetAc3Crcs(std::span<std::uint8_t> frame);

// Whether every check word of a unit holds: crc1 and crc2 of an AC-3 frame, the one CRC of
// each E-AC-3 frame (over everything after its sync word). A unit shorter than its frames
// fails.
[[nodiscard]] bool Ac3UnitCrcsHold(std::span<const std::uint8_t> unit);

}  // namespace velmora
