// Tests for choosing and copying the stored silent AC-3 frame.
#include "correction/silent_frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace velmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A run of the template table.
struct Slice {
    std::size_t offset;
    std::size_t size;
};

constexpr Slice kA{0, 768};
constexpr Slice kB{768, 1536};
constexpr Slice kC{2304, 1792};

Bytes TemplateBytes(Slice slice) {
    const auto first = SilentFrameTemplates.begin() + static_cast<std::ptrdiff_t>(slice.offset);
    return Bytes(first, first + static_cast<std::ptrdiff_t>(slice.size));
}

// StreamInfo as the analysis leaves it just before LoadSilentFrame: a fresh zeroed buffer
// of FrameLength bytes, and a flag still set from an earlier analysis so that clearing
// it is checked too.
StreamInfo AnalysedInfo(std::int32_t frameLength) {
    StreamInfo info;
    info.FrameLength = frameLength;
    info.SilentFrame.assign(static_cast<std::size_t>(std::max(frameLength, 0)), 0);
    info.SilentFrameLoaded = true;
    return info;
}

TEST(SilentFrameTemplates, HoldThreeWholeFramesBackToBack) {
    // {slice, fifth byte}: each starts with the sync word and carries its own rate code.
    const std::pair<Slice, std::uint8_t> rows[] = {{kA, 0x14}, {kB, 0x1C}, {kC, 0x1E}};
    std::size_t next = 0;
    for (const auto& [slice, fifthByte] : rows) {
        EXPECT_EQ(slice.offset, next);
        const Bytes frame = TemplateBytes(slice);
        EXPECT_EQ(frame[0], 0x0B) << slice.offset;
        EXPECT_EQ(frame[1], 0x77) << slice.offset;
        EXPECT_EQ(frame[4], fifthByte) << slice.offset;
        next = slice.offset + slice.size;
    }
    EXPECT_EQ(next, SilentFrameTemplates.size());
}

TEST(LoadSilentFrame, ChoosesByWholeFifthByteCheckBoxAndFileType) {
    struct Row {
        const char* what;
        FileType fileType;
        std::uint8_t fifthByte;
        int checkBox;  // 0 unchecked, 1 checked, 2 greyed
        std::int32_t frameLength;
        bool loaded;
        std::optional<Slice> copied;  // template expected at the start of SilentFrame
    };
    const Row rows[] = {
        {"A: 48 kHz 192 kbit/s", FileType::Ac3, 0x14, 1, 768, true, kA},
        {"B: 48 kHz 384 kbit/s", FileType::Ac3, 0x1C, 1, 1536, true, kB},
        {"C: 48 kHz 448 kbit/s", FileType::Ac3, 0x1E, 1, 1792, true, kC},
        // Also the box cleared after choosing the source: Write analyses again and the
        // flag left from the first analysis goes.
        {"C unchecked", FileType::Ac3, 0x1E, 0, 1792, false, std::nullopt},
        {"C greyed", FileType::Ac3, 0x1E, 2, 1792, false, std::nullopt},
        {"C with an unknown box value", FileType::Ac3, 0x1E, -1, 1792, false, std::nullopt},
        {"odd neighbour of A (0x15)", FileType::Ac3, 0x15, 1, 768, false, std::nullopt},
        {"odd neighbour of B (0x1D)", FileType::Ac3, 0x1D, 1, 1536, false, std::nullopt},
        {"odd neighbour of C (0x1F)", FileType::Ac3, 0x1F, 1, 1792, false, std::nullopt},
        {"other 48 kHz rate (0x1A)", FileType::Ac3, 0x1A, 1, 1280, false, std::nullopt},
        {"44.1 kHz code 20", FileType::Ac3, 0x54, 1, 834, false, std::nullopt},
        {"44.1 kHz code 30", FileType::Ac3, 0x5E, 1, 1950, false, std::nullopt},
        {"32 kHz code 28", FileType::Ac3, 0x9C, 1, 2304, false, std::nullopt},
        {"reserved rate with C's size code", FileType::Ac3, 0xDE, 1, 0, false, std::nullopt},
        {"DTS whose fifth byte is 0x1E", FileType::Dts, 0x1E, 1, 1792, false, std::nullopt},
        {"MPEG audio whose fifth byte is 0x14", FileType::MpegAudio, 0x14, 1, 768, false,
         std::nullopt},
        // Not AC-3 at all but named so: the sync word failed, so FrameLength is 0; the
        // flag is set and nothing is copied (Write stays disabled without a length).
        {"non-AC-3 data with 0x14", FileType::Ac3, 0x14, 1, 0, true, std::nullopt},
    };
    for (const Row& row : rows) {
        StreamInfo info = AnalysedInfo(row.frameLength);
        LoadSilentFrame(info, row.fileType, row.fifthByte, row.checkBox);
        EXPECT_EQ(info.SilentFrameLoaded, row.loaded) << row.what;
        ASSERT_EQ(info.SilentFrame.size(), static_cast<std::size_t>(row.frameLength)) << row.what;
        const Bytes expected =
            row.copied ? TemplateBytes(*row.copied) : Bytes(info.SilentFrame.size(), 0);
        EXPECT_EQ(info.SilentFrame, expected) << row.what;
    }
}

TEST(LoadSilentFrame, NeverCopiesPastTheTemplate) {
    // A frame length larger than the template cannot come from a real header; only the
    // template is copied and the rest of the buffer stays as the analysis made it.
    StreamInfo info = AnalysedInfo(2000);
    LoadSilentFrame(info, FileType::Ac3, 0x14, 1);
    EXPECT_TRUE(info.SilentFrameLoaded);
    ASSERT_EQ(info.SilentFrame.size(), 2000u);
    const Bytes a = TemplateBytes(kA);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), info.SilentFrame.begin()));
    EXPECT_TRUE(std::all_of(info.SilentFrame.begin() + 768, info.SilentFrame.end(),
                            [](std::uint8_t byte) { return byte == 0; }));
}

TEST(LoadSilentFrame, GrowsABufferShorterThanTheFrame) {
    // The writer takes FrameLength bytes from SilentFrame, so a short buffer must not stay.
    StreamInfo info = AnalysedInfo(1792);
    info.SilentFrame.clear();
    LoadSilentFrame(info, FileType::Ac3, 0x1E, 1);
    EXPECT_TRUE(info.SilentFrameLoaded);
    EXPECT_EQ(info.SilentFrame, TemplateBytes(kC));
}

}  // namespace
}  // namespace velmora
