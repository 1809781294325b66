// The Xing/Info and VBRI frames that encoders put first in an MPEG audio stream.
#include "formats/mpeg_info_frame.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {

constexpr std::uint32_t kFramesFlag = 0x1;
constexpr std::uint32_t kBytesFlag = 0x2;
constexpr std::uint32_t kTocFlag = 0x4;
constexpr std::uint32_t kQualityFlag = 0x8;
constexpr std::size_t kTocBytes = 100;
// The VBRI tag sits at a fixed place: after the header and 32 bytes.
constexpr std::size_t kVbriOffset = 36;

// The encoder tag that may follow the Xing fields: a 9-byte version string, then fields up
// to its own CRC 34 bytes later.
constexpr std::size_t kEncoderTagBytes = 36;
constexpr std::size_t kDelayPaddingAt = 21;  // 12 bits delay, 12 bits padding
constexpr std::size_t kMusicLengthAt = 28;
constexpr std::size_t kTagCrcAt = 34;

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

void PutBigEndian32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 24);
    p[1] = static_cast<std::uint8_t>(value >> 16);
    p[2] = static_cast<std::uint8_t>(value >> 8);
    p[3] = static_cast<std::uint8_t>(value);
}

bool Holds(std::span<const std::uint8_t> frame, std::size_t offset, const char* text) {
    return offset + 4 <= frame.size() && std::memcmp(frame.data() + offset, text, 4) == 0;
}

// Encoders that write the tag name themselves in its first four bytes.
bool IsEncoderTag(const std::uint8_t* p) {
    return std::memcmp(p, "LAME", 4) == 0 || std::memcmp(p, "Lavc", 4) == 0 ||
           std::memcmp(p, "Lavf", 4) == 0 || std::memcmp(p, "GOGO", 4) == 0;
}

void UpdateXing(std::span<std::uint8_t> frame, std::size_t at, const MpegInfoCounts& counts) {
    std::uint8_t* flagsAt = frame.data() + at + 4;
    std::uint32_t flags = BigEndian32(flagsAt);
    std::size_t field = at + 8;
    if ((flags & kFramesFlag) != 0) {
        PutBigEndian32(frame.data() + field, counts.audioFrames);
        field += 4;
    }
    if ((flags & kBytesFlag) != 0) {
        PutBigEndian32(frame.data() + field, counts.streamBytes);
        field += 4;
    }
    if ((flags & kTocFlag) != 0) {
        // The table's positions belong to the old stream. Everything after it moves up so
        // that readers, which take the fields in order, still find them.
        const std::size_t tocEnd = std::min(field + kTocBytes, frame.size());
        std::copy(frame.begin() + static_cast<std::ptrdiff_t>(tocEnd), frame.end(),
                  frame.begin() + static_cast<std::ptrdiff_t>(field));
        std::fill(frame.end() - static_cast<std::ptrdiff_t>(tocEnd - field), frame.end(), 0);
        flags &= ~kTocFlag;
        PutBigEndian32(flagsAt, flags);
    }
    if ((flags & kQualityFlag) != 0) {
        field += 4;
    }
    if (field + kEncoderTagBytes > frame.size() || !IsEncoderTag(frame.data() + field)) {
        return;
    }
    std::uint8_t* tag = frame.data() + field;
    if (counts.endPaddingGone) {
        // The frame whose tail was encoder padding is gone; every sample of the new last
        // frame is audio, so none may be trimmed.
        tag[kDelayPaddingAt + 1] &= 0xF0;
        tag[kDelayPaddingAt + 2] = 0;
    }
    PutBigEndian32(tag + kMusicLengthAt, counts.streamBytes);
    const std::uint16_t crc = Crc16Reflected(frame.first(field + kTagCrcAt));
    tag[kTagCrcAt] = static_cast<std::uint8_t>(crc >> 8);
    tag[kTagCrcAt + 1] = static_cast<std::uint8_t>(crc);
}

void UpdateVbri(std::span<std::uint8_t> frame, std::size_t at, const MpegInfoCounts& counts) {
    // "VBRI", version, delay, quality, then bytes, frames and the seek table's entry count.
    constexpr std::size_t kBytesAt = 10;
    constexpr std::size_t kFramesAt = 14;
    constexpr std::size_t kEntriesAt = 18;
    if (at + kEntriesAt + 2 > frame.size()) {
        return;
    }
    PutBigEndian32(frame.data() + at + kBytesAt, counts.streamBytes);
    PutBigEndian32(frame.data() + at + kFramesAt, counts.audioFrames);
    frame[at + kEntriesAt] = 0;
    frame[at + kEntriesAt + 1] = 0;
}

}  // namespace

std::optional<MpegInfoTag> FindMpegInfoTag(std::span<const std::uint8_t> frame,
                                           const MpegAudioHeader& header) {
    const std::size_t xingAt =
        4 + (header.protectionBit == 0 ? 2 : 0) + MpegAudioSideInfoBytes(header);
    if (header.layerCode == 1 && (Holds(frame, xingAt, "Xing") || Holds(frame, xingAt, "Info"))) {
        if (xingAt + 8 > frame.size()) {
            return std::nullopt;
        }
        // Frames, bytes, TOC and quality must fit inside the frame as the flags say.
        const std::uint32_t flags = BigEndian32(frame.data() + xingAt + 4);
        const std::size_t fields = ((flags & kFramesFlag) != 0 ? 4 : 0) +
                                   ((flags & kBytesFlag) != 0 ? 4 : 0) +
                                   ((flags & kTocFlag) != 0 ? kTocBytes : 0) +
                                   ((flags & kQualityFlag) != 0 ? 4 : 0);
        if (xingAt + 8 + fields > frame.size()) {
            return std::nullopt;
        }
        return MpegInfoTag{MpegInfoTag::Kind::Xing, xingAt};
    }
    if (Holds(frame, kVbriOffset, "VBRI") && kVbriOffset + 20 <= frame.size()) {
        return MpegInfoTag{MpegInfoTag::Kind::Vbri, kVbriOffset};
    }
    return std::nullopt;
}

void UpdateMpegInfoTag(std::span<std::uint8_t> frame, const MpegInfoTag& tag,
                       const MpegInfoCounts& counts) {
    if (tag.kind == MpegInfoTag::Kind::Xing) {
        UpdateXing(frame, tag.offset, counts);
    } else {
        UpdateVbri(frame, tag.offset, counts);
    }
}

std::uint16_t Crc16Reflected(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1U) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001U)
                                  : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

}  // namespace velmora
