// Tags that MPEG audio files carry around their frames: ID3v2 before, ID3v1 and APEv2 after.
#include "formats/mpeg_tags.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {

constexpr std::int64_t kId3v1Bytes = 128;
constexpr std::int64_t kApeFooterBytes = 32;
constexpr std::uint32_t kApeHasHeader = 0x80000000U;

std::uint32_t LittleEndian32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Bytes of an APEv2 tag whose 32-byte footer ends `end` bytes into `tail`; 0 when none.
std::int64_t ApeTagBytes(std::span<const std::uint8_t> tail, std::int64_t end,
                         std::int64_t roomBefore) {
    if (end < kApeFooterBytes) {
        return 0;
    }
    const std::uint8_t* footer = tail.data() + (end - kApeFooterBytes);
    if (std::memcmp(footer, "APETAGEX", 8) != 0) {
        return 0;
    }
    // The size counts the items and the footer, not the optional header.
    const std::int64_t size = LittleEndian32(footer + 12);
    const bool hasHeader = (LittleEndian32(footer + 20) & kApeHasHeader) != 0;
    const std::int64_t total = size + (hasHeader ? kApeFooterBytes : 0);
    if (size < kApeFooterBytes || total > roomBefore) {
        return 0;
    }
    return total;
}

}  // namespace

std::int64_t Id3v2TagBytes(std::span<const std::uint8_t> head) {
    if (head.size() < kId3v2HeaderBytes || std::memcmp(head.data(), "ID3", 3) != 0 ||
        head[3] == 0xFF || head[4] == 0xFF) {
        return 0;
    }
    std::int64_t size = 0;
    for (std::size_t i = 6; i < 10; ++i) {
        if (head[i] >= 0x80) {
            return 0;  // not syncsafe, so not a tag
        }
        size = size << 7 | head[i];
    }
    const bool footer = (head[5] & 0x10) != 0;
    return static_cast<std::int64_t>(kId3v2HeaderBytes) + size + (footer ? 10 : 0);
}

std::int64_t TrailingTagBytes(std::span<const std::uint8_t> tail, std::int64_t fileLength) {
    const auto available = static_cast<std::int64_t>(tail.size());
    std::int64_t end = available;  // the part of `tail` not yet known to be a tag
    std::int64_t tags = 0;
    if (end >= kId3v1Bytes && std::memcmp(tail.data() + (end - kId3v1Bytes), "TAG", 3) == 0) {
        end -= kId3v1Bytes;
        tags += kId3v1Bytes;
    }
    tags += ApeTagBytes(tail, end, fileLength - tags);
    return std::min(tags, fileLength);
}

}  // namespace velmora
