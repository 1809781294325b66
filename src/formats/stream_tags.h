// Tags that files carry around their frames: ID3v2 before them; ID3v1, APE, Lyrics3 and
// ID3v2 with a footer after them, in any order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace velmora {

inline constexpr std::size_t kId3v2HeaderBytes = 10;
// Enough of a file's end to find any one tag there: a Lyrics3 v1 tag is found only by its
// start, up to 5,100 bytes of lyrics before its end mark.
inline constexpr std::size_t kTrailingTagProbeBytes = 5120;

// Bytes of the ID3v2 tag that starts at head[0]: its 10-byte header, the body (a syncsafe
// size that excludes the header) and a 10-byte footer when the flag says so. 0 when the
// bytes are no ID3v2 header.
[[nodiscard]] std::int64_t Id3v2TagBytes(std::span<const std::uint8_t> head);

// A tag that ends where `tail` ends, as its last bytes tell. Some tags say their size only
// at their end; the caller believes it once the tag's first bytes are `startsWith`.
struct TrailingTag {
    std::int64_t bytes = 0;  // 0: no tag ends there
    std::string_view startsWith;
    bool id3v1 = false;
};

// `tail` holds the last bytes (up to kTrailingTagProbeBytes) before the point looked at and
// `room` bytes lie before that point; a size beyond them is not believed. ID3v1 stands only
// at the very end of a file (`atFileEnd`; "TAG" is inside "APETAGEX"), and a Lyrics3 v1 tag
// only right before ID3v1 (`afterId3v1`).
[[nodiscard]] TrailingTag TrailingTagAt(std::span<const std::uint8_t> tail, std::int64_t room,
                                        bool atFileEnd, bool afterId3v1);

}  // namespace velmora
