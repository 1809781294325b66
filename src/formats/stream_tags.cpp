// Tags that files carry around their frames: ID3v2 before them; ID3v1, APE, Lyrics3 and
// ID3v2 with a footer after them, in any order.
#include "formats/stream_tags.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "common/byte_order.h"

namespace velmora {

namespace {

constexpr std::int64_t kId3v1Bytes = 128;
constexpr std::int64_t kApeFooterBytes = 32;
constexpr std::uint32_t kApeHasHeader = 0x80000000U;
constexpr std::string_view kLyricsBegin = "LYRICSBEGIN";
// Lyrics3 v2 ends in its size (six digits) and this mark.
constexpr std::string_view kLyrics2End = "LYRICS200";
constexpr std::string_view kLyrics1End = "LYRICSEND";
constexpr std::int64_t kLyrics1MostText = 5100;

bool EndsWith(std::span<const std::uint8_t> tail, std::string_view mark) {
    return tail.size() >= mark.size() &&
           std::memcmp(tail.data() + tail.size() - mark.size(), mark.data(), mark.size()) == 0;
}

// A 32-bit syncsafe number (7 bits a byte); negative when a byte has its top bit set.
std::int64_t Syncsafe(const std::uint8_t* p) {
    std::int64_t size = 0;
    for (int i = 0; i < 4; ++i) {
        if (p[i] >= 0x80) {
            return -1;
        }
        size = size << 7 | p[i];
    }
    return size;
}

TrailingTag ApeTag(std::span<const std::uint8_t> tail) {
    const std::uint8_t* footer = tail.data() + tail.size() - kApeFooterBytes;
    // The size counts the items and the footer, not the optional header (APEv2 only).
    const std::int64_t size = Le32(footer + 12);
    const bool hasHeader = (Le32(footer + 20) & kApeHasHeader) != 0;
    if (size < kApeFooterBytes) {
        return {};
    }
    return {size + (hasHeader ? kApeFooterBytes : 0), hasHeader ? "APETAGEX" : "", false};
}

TrailingTag Lyrics2Tag(std::span<const std::uint8_t> tail) {
    const std::uint8_t* digits = tail.data() + tail.size() - kLyrics2End.size() - 6;
    std::int64_t size = 0;
    for (int i = 0; i < 6; ++i) {
        if (digits[i] < '0' || digits[i] > '9') {
            return {};
        }
        size = size * 10 + (digits[i] - '0');
    }
    // The size runs from "LYRICSBEGIN" up to the size field.
    return {size + 6 + static_cast<std::int64_t>(kLyrics2End.size()), kLyricsBegin, false};
}

TrailingTag Lyrics1Tag(std::span<const std::uint8_t> tail) {
    const std::string_view text(reinterpret_cast<const char*>(tail.data()), tail.size());
    const std::size_t most =
        kLyricsBegin.size() + static_cast<std::size_t>(kLyrics1MostText) + kLyrics1End.size();
    const std::size_t begin = text.rfind(kLyricsBegin);
    if (begin == std::string_view::npos || text.size() - begin > most) {
        return {};
    }
    return {static_cast<std::int64_t>(text.size() - begin), kLyricsBegin, false};
}

// An ID3v2.4 tag with a footer: "3DI", the version, flags and the body's size.
TrailingTag Id3v2FooterTag(std::span<const std::uint8_t> tail) {
    const std::uint8_t* footer = tail.data() + tail.size() - kId3v2HeaderBytes;
    if (std::memcmp(footer, "3DI", 3) != 0 || footer[3] == 0xFF || footer[4] == 0xFF) {
        return {};
    }
    const std::int64_t size = Syncsafe(footer + 6);
    if (size < 0) {
        return {};
    }
    return {size + 2 * static_cast<std::int64_t>(kId3v2HeaderBytes), "ID3", false};
}

}  // namespace

std::int64_t Id3v2TagBytes(std::span<const std::uint8_t> head) {
    if (head.size() < kId3v2HeaderBytes || std::memcmp(head.data(), "ID3", 3) != 0 ||
        head[3] == 0xFF || head[4] == 0xFF) {
        return 0;
    }
    const std::int64_t size = Syncsafe(head.data() + 6);
    if (size < 0) {
        return 0;  // not syncsafe, so not a tag
    }
    const bool footer = (head[5] & 0x10) != 0;
    return static_cast<std::int64_t>(kId3v2HeaderBytes) + size + (footer ? 10 : 0);
}

TrailingTag TrailingTagAt(std::span<const std::uint8_t> tail, std::int64_t room,
                          bool atFileEnd, bool afterId3v1) {
    const auto have = static_cast<std::int64_t>(tail.size());
    TrailingTag tag;
    if (atFileEnd && have >= kId3v1Bytes &&
        std::memcmp(tail.data() + (have - kId3v1Bytes), "TAG", 3) == 0) {
        tag = {kId3v1Bytes, "TAG", true};
    } else if (have >= kApeFooterBytes && std::memcmp(tail.data() + (have - kApeFooterBytes),
                                                       "APETAGEX", 8) == 0) {
        tag = ApeTag(tail);
    } else if (have >= 6 + static_cast<std::int64_t>(kLyrics2End.size()) &&
               EndsWith(tail, kLyrics2End)) {
        tag = Lyrics2Tag(tail);
    } else if (afterId3v1 && EndsWith(tail, kLyrics1End)) {
        tag = Lyrics1Tag(tail);
    } else if (have >= static_cast<std::int64_t>(kId3v2HeaderBytes)) {
        tag = Id3v2FooterTag(tail);
    }
    return tag.bytes <= room ? tag : TrailingTag{};
}

}  // namespace velmora
