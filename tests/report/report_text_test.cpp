// Durations and frame-rate sentences shared by the source and target reports.
#include "report/report_text.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(FramesToTime, FormatsHoursMinutesSecondsAndMilliseconds) {
    const struct {
        std::int64_t frames;
        float rate;
        const char* text;
    } rows[] = {
        {1875, 31.25f, "00:01:00,000"},
        {1, 31.25f, "00:00:00,032"},
        {3, 31.25f, "00:00:00,096"},
        {5624, 31.25f, "00:02:59,968"},
        {0, 31.25f, "00:00:00,000"},
        {1875, 0.0f, "00:00:00,000"},
        {1875, -0.5f, "00:00:00,000"},
        {112500, 31.25f, "01:00:00,000"},
        // Past 99 hours only the last two digits of the hours remain.
        {31250LL * 3600 * 101 / 1000, 31.25f, "01:00:00,000"},
        // Counts past 2^31 frames are not truncated to 32 bits.
        {4'294'967'296LL, 1000.0f, "93:02:47,296"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FramesToTime(row.frames, row.rate), row.text) << row.frames << " @ " << row.rate;
    }
}

TEST(FramesToMs, DividesFirstAndRoundsHalvesToEven) {
    EXPECT_EQ(FramesToMs(1, 31.25f), 32);
    EXPECT_EQ(FramesToMs(3, 31.25f), 96);
    EXPECT_EQ(FramesToMs(2, 31.25f), 64);
    EXPECT_EQ(FramesToMs(1, 2000.0f), 0);  // 0.5 ms rounds to the even 0
    EXPECT_EQ(FramesToMs(3, 2000.0f), 2);  // 1.5 ms rounds to 2
    EXPECT_EQ(FramesToMs(5, 0.0f), 0);
    EXPECT_EQ(FramesToMs(5, -1.0f), 0);
}

TEST(ReportCounts, SingularOnlyForExactlyOne) {
    EXPECT_EQ(FrameRateSentence(1.0f), "There is 1 frame in one second.");
    EXPECT_EQ(FrameRateSentence(31.25f), "There are 31.25 frames in one second.");
    EXPECT_EQ(FrameRateSentence(0.0f), "There are 0 frames in one second.");
    EXPECT_EQ(FrameRateSentence(1.0000001f), "There are 1.0000001 frames in one second.");
    EXPECT_EQ(FramePlaceLines(1, false),
              "1 byte before the first frame is no audio: it is left out of the target.\r\n");
}

}  // namespace
}  // namespace velmora
