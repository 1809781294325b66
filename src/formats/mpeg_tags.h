// Tags that MPEG audio files carry around their frames: ID3v2 before, ID3v1 and APEv2 after.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora {

inline constexpr std::size_t kId3v2HeaderBytes = 10;
// ID3v1 (128 bytes) and an APEv2 footer (32 bytes) before it.
inline constexpr std::size_t kTrailingTagProbeBytes = 160;

// Bytes of the ID3v2 tag that starts at head[0]: its 10-byte header, the body (a syncsafe
// size that excludes the header) and a 10-byte footer when the flag says so. 0 when the
// bytes are no ID3v2 header.
[[nodiscard]] std::int64_t Id3v2TagBytes(std::span<const std::uint8_t> head);

// Bytes of ID3v1 and APEv2 tags at the end of a file of `fileLength` bytes whose last bytes
// are `tail` (up to kTrailingTagProbeBytes). An APEv2 tag may stand before an ID3v1 tag.
// Sizes that do not fit the file are not believed.
[[nodiscard]] std::int64_t TrailingTagBytes(std::span<const std::uint8_t> tail,
                                            std::int64_t fileLength);

}  // namespace velmora
