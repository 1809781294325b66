// The DTS-HD extension substream header (ETSI TS 102 114): the part of a DTS-HD stream that
// follows each core frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora {

inline constexpr std::uint32_t kDtsSubstreamSync = 0x64582025U;
inline constexpr std::size_t kDtsSubstreamHeaderBytes = 9;

// Bytes of the extension substream that starts at bytes[0]; 0 when there is none (no sync
// word). nuExtSSFsize is stored minus one, in 16 or 20 bits as bHeaderSizeType says.
[[nodiscard]] std::int64_t DtsSubstreamLength(std::span<const std::uint8_t> bytes);

// Whether the header CRC of the extension substream at bytes[0] holds: CRC-16 CCITT
// (generator 0x1021, start 0xFFFF) from nExtSSIndex to the end of the header, its stored
// CRC included, comes out 0.
[[nodiscard]] bool DtsSubstreamCrcHolds(std::span<const std::uint8_t> bytes);

// A DTS unit's check words: the core frame has none that covers its audio, so these are its
// extension substreams' header CRCs.
[[nodiscard]] bool DtsUnitCrcsHold(std::span<const std::uint8_t> unit);

}  // namespace velmora
