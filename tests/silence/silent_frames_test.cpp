// Tests for choosing and copying the stored silent AC-3 frame.
#include "silence/silent_frames.h"

#include "formats/ac3_frame.h"
#include "silence/silent_sync_frame.h"

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

// The first bytes of an AC-3 frame with this fifth byte and layout, as a stream has them.
Bytes Ac3Start(std::uint8_t fifthByte, int acmod, bool lfeon, int bsid = 8) {
    SilentAc3FrameParams params;
    params.bsid = bsid;
    params.fscod = fifthByte >> 6;
    params.frmsizecod = fifthByte & 0x3F;
    params.acmod = acmod;
    params.lfeon = lfeon;
    const std::optional<SilentAc3Frame> frame = BuildSilentAc3Frame(params);
    return frame ? Bytes(frame->bytes.begin(), frame->bytes.begin() + 16) : Bytes();
}

// StreamInfo as the analysis leaves it just before LoadSilentFrame, with a flag still set
// from an earlier analysis so that clearing it is checked too.
StreamInfo AnalysedInfo(const Bytes& firstFrame, std::int32_t frameLength) {
    StreamInfo info;
    info.FrameLength = frameLength;
    info.FirstUnit = firstFrame;
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

TEST(LoadSilentFrame, StoredWhereTheLayoutFitsBuiltElsewhere) {
    struct Row {
        const char* what;
        FileType fileType;
        Bytes firstFrame;
        int checkBox;  // 0 unchecked, 1 checked, 2 greyed
        std::int32_t frameLength;
        std::optional<Slice> stored;  // the template expected, else a built frame
        std::size_t builtBytes;       // 0: no silent frame at all
        std::size_t longerBytes;      // the second size of a pair, 0 when there is none
    };
    const Row rows[] = {
        {"A: 48 kHz 192 kbit/s 2/0", FileType::Ac3, Ac3Start(0x14, 2, false), 1, 768, kA, 0, 0},
        {"B: 48 kHz 384 kbit/s 5.1", FileType::Ac3, Ac3Start(0x1C, 7, true), 1, 1536, kB, 0, 0},
        {"C: 48 kHz 448 kbit/s 5.1", FileType::Ac3, Ac3Start(0x1E, 7, true), 1, 1792, kC, 0, 0},
        {"C unchecked", FileType::Ac3, Ac3Start(0x1E, 7, true), 0, 1792, {}, 0, 0},
        {"C greyed", FileType::Ac3, Ac3Start(0x1E, 7, true), 2, 1792, {}, 0, 0},
        {"C with an unknown box value", FileType::Ac3, Ac3Start(0x1E, 7, true), -1, 1792, {}, 0, 0},
        // The templates' rates in another layout get frames in their own layout.
        {"5.1 at 192 kbit/s", FileType::Ac3, Ac3Start(0x14, 7, true), 1, 768, {}, 768, 0},
        {"stereo at 448 kbit/s", FileType::Ac3, Ac3Start(0x1E, 2, false), 1, 1792, {}, 1792, 0},
        {"odd neighbour of A", FileType::Ac3, Ac3Start(0x15, 2, false), 1, 768, {}, 768, 0},
        // A's code at half the rate: the stored bsid 8 frame would change the rate.
        {"A's code at bsid 9", FileType::Ac3, Ac3Start(0x14, 2, false, 9), 1, 768, {}, 768, 0},
        {"640 kbit/s 5.1", FileType::Ac3, Ac3Start(0x25, 7, true), 1, 2560, {}, 2560, 0},
        {"44.1 kHz code 20 mono", FileType::Ac3, Ac3Start(0x54, 1, false), 1, 834, {}, 834, 836},
        {"32 kHz code 28", FileType::Ac3, Ac3Start(0x9C, 2, false), 1, 2304, {}, 2304, 0},
        {"MP2 48 kHz 192 kbit/s", FileType::MpegAudio, {0xFF, 0xFD, 0xA4, 0x00}, 1, 576, {}, 576, 0},
        {"MP3 44.1 kHz 128 kbit/s", FileType::MpegAudio, {0xFF, 0xFB, 0x92, 0x64}, 1, 418, {}, 417,
         418},
        {"DTS", FileType::Dts, {0x7F, 0xFE, 0x80, 0x01, 0x1E}, 1, 1792, {}, 0, 0},
        // Not a stream at all: without a frame length there is nothing to match.
        {"no frame length", FileType::Ac3, Ac3Start(0x14, 2, false), 1, 0, {}, 0, 0},
    };
    for (const Row& row : rows) {
        StreamInfo info = AnalysedInfo(row.firstFrame, row.frameLength);
        LoadSilentFrame(info, row.fileType, row.checkBox);
        EXPECT_EQ(info.SilentFrameLoaded, row.stored || row.builtBytes > 0) << row.what;
        if (row.stored) {
            EXPECT_EQ(info.SilentFrame, TemplateBytes(*row.stored)) << row.what;
        } else if (row.builtBytes > 0) {
            ASSERT_EQ(info.SilentFrame.size(), row.builtBytes) << row.what;
            EXPECT_EQ(info.SilentFrameLong.size(), row.longerBytes) << row.what;
            // The same header fields as the stream's own first frame.
            EXPECT_TRUE(std::equal(row.firstFrame.begin(), row.firstFrame.begin() + 2,
                                   info.SilentFrame.begin()))
                << row.what;
            if (row.fileType == FileType::Ac3) {
                const Ac3Bsi want = DecodeAc3Bsi(row.firstFrame);
                const Ac3Bsi got = DecodeAc3Bsi(info.SilentFrame);
                EXPECT_EQ(got.acmod, want.acmod) << row.what;
                EXPECT_EQ(got.lfeon, want.lfeon) << row.what;
                EXPECT_EQ(got.bsid, want.bsid) << row.what;
                if (row.longerBytes == 0) {
                    EXPECT_EQ(info.SilentFrame[4], row.firstFrame[4]) << row.what;
                }
            }
        } else {
            EXPECT_TRUE(info.SilentFrameLong.empty()) << row.what;
        }
    }
}

}  // namespace
}  // namespace velmora
