// Delay box texts to whole frames and plan lines.
#include "correction/correction_plan.h"

#include "common/number_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>

namespace velmora {
namespace {

StreamInfo Ac3At448() {
    StreamInfo info;
    info.FrameLength = 1792;
    info.NominalBitRate = 448;
    info.FramesPerSecond = 31.25f;
    return info;
}

struct PlanRow {
    const char* name;
    const char* startText;
    const char* endText;
    std::int32_t startDelayMs;
    std::int32_t endDelayMs;
    std::int64_t cutStartFrames;
    std::int64_t addStartFrames;
    std::int64_t cutEndFrames;
    std::int64_t addEndFrames;
    const char* lines;
};

// 48 kHz AC-3 at 448 kbit/s: 1792-byte frames, 31.25 frames per second.
const PlanRow kPlanRows[] = {
    {"CutStart", "-100", "", -100, 0, 3, 0, 0, 0,
     "100ms (00:00:00,096) ms to be cut at beginning.\r\n"
     "Remaining delay at beginning: -4.0ms (less than one frame), to be set in the muxer.\r\n"},
    {"AddStart", "100", "", 100, 0, 0, 3, 0, 0, "100ms (00:00:00,096) to be add at beginning.\r\n"
     "Remaining delay at beginning: 4.0ms (less than one frame), to be set in the muxer.\r\n"},
    {"CutEnd", "", "-64", 0, -64, 0, 0, 2, 0, "64ms (00:00:00,064) to be cut at end.\r\n"},
    {"AddEnd", "0", "64", 0, 64, 0, 0, 0, 2, "64ms (00:00:00,064) to be add at end.\r\n"},
    {"CutStartAddEnd", "-100", "64", -100, 64, 3, 0, 0, 2,
     "100ms (00:00:00,096) ms to be cut at beginning.\r\n"
     "64ms (00:00:00,064) to be add at end.\r\n"
     "Remaining delay at beginning: -4.0ms (less than one frame), to be set in the muxer.\r\n"},
    {"AddStartCutEnd", "200", "-200", 200, -200, 0, 6, 6, 0,
     "200ms (00:00:00,192) to be add at beginning.\r\n"
     "200ms (00:00:00,192) to be cut at end.\r\n"
     "Remaining delay at beginning: 8.0ms (less than one frame), to be set in the muxer.\r\n"},
    {"BothAdd", "100", "64", 100, 64, 0, 3, 0, 2,
     "100ms (00:00:00,096) to be add at beginning.\r\n"
     "64ms (00:00:00,064) to be add at end.\r\n"
     "Remaining delay at beginning: 4.0ms (less than one frame), to be set in the muxer.\r\n"},
    {"BothCut", "-100", "-64", -100, -64, 3, 0, 2, 0,
     "100ms (00:00:00,096) ms to be cut at beginning.\r\n"
     "64ms (00:00:00,064) to be cut at end.\r\n"
     "Remaining delay at beginning: -4.0ms (less than one frame), to be set in the muxer.\r\n"},
    {"BothZero", "0", "0", 0, 0, 0, 0, 0, 0, ""},
    {"BothEmpty", "", "", 0, 0, 0, 0, 0, 0, ""},
    {"UnderHalfAFrame", "-10", "", -10, 0, 0, 0, 0, 0,
     "10ms (00:00:00,000) ms to be cut at beginning.\r\n"
     "Remaining delay at beginning: -10.0ms (less than one frame), to be set in the muxer.\r\n"},
    {"TrailingUnit", "-64ms", "", -64, 0, 2, 0, 0, 0,
     "64ms (00:00:00,064) ms to be cut at beginning.\r\n"},
    {"NotANumber", "abc", "abc", 0, 0, 0, 0, 0, 0, ""},
    // 12.5 goes to the even neighbour 12; 0.375 frames make no frame.
    {"HalfToEvenDown", "12.5", "", 12, 0, 0, 0, 0, 0,
     "12ms (00:00:00,000) to be add at beginning.\r\n"
     "Remaining delay at beginning: 12.0ms (less than one frame), to be set in the muxer.\r\n"},
    {"HalfToEvenUp", "-99.5", "", -100, 0, 3, 0, 0, 0,
     "100ms (00:00:00,096) ms to be cut at beginning.\r\n"
     "Remaining delay at beginning: -4.0ms (less than one frame), to be set in the muxer.\r\n"},
    // 90 ms is 2.8125 frames: the nearest count is 3, not the 2 that rounding down gives.
    {"NearestNotDown", "90", "", 90, 0, 0, 3, 0, 0,
     "90ms (00:00:00,096) to be add at beginning.\r\n"
     "Remaining delay at beginning: -6.0ms (less than one frame), to be set in the muxer.\r\n"},
    // The smallest 32-bit delay: its magnitude needs 64 bits, and so do the bytes.
    {"SmallestDelay", "-2147483648", "", std::numeric_limits<std::int32_t>::min(), 0, 67108864, 0,
     0, 0, "2147483648ms (96:31:23,648) ms to be cut at beginning.\r\n"},
    {"SaturatedDelay", "99999999999", "-99999999999", std::numeric_limits<std::int32_t>::max(),
     std::numeric_limits<std::int32_t>::min(), 0, 67108864, 67108864, 0,
     "2147483647ms (96:31:23,648) to be add at beginning.\r\n"
     "2147483648ms (96:31:23,648) to be cut at end.\r\n"
     "Remaining delay at beginning: -1.0ms (less than one frame), to be set in the muxer.\r\n"},
};

// Names the row in failure messages instead of dumping its bytes.
void PrintTo(const PlanRow& row, std::ostream* os) {
    *os << row.name;
}

class CorrectionPlanRows : public ::testing::TestWithParam<PlanRow> {};

TEST_P(CorrectionPlanRows, GivesCountsBytesAndLines) {
    const PlanRow& row = GetParam();
    const PlannedCorrection planned = MakeCorrectionPlan(ReadWholeMilliseconds(row.startText),
                                                         ReadWholeMilliseconds(row.endText), Ac3At448());
    const CorrectionPlan& plan = planned.plan;
    EXPECT_EQ(plan.startDelayMs, row.startDelayMs);
    EXPECT_EQ(plan.endDelayMs, row.endDelayMs);
    EXPECT_EQ(plan.cutStartFrames, row.cutStartFrames);
    EXPECT_EQ(plan.addStartFrames, row.addStartFrames);
    EXPECT_EQ(plan.cutEndFrames, row.cutEndFrames);
    EXPECT_EQ(plan.addEndFrames, row.addEndFrames);
    EXPECT_EQ(plan.cutStartBytes, row.cutStartFrames * 1792);
    EXPECT_EQ(plan.cutEndBytes, row.cutEndFrames * 1792);
    EXPECT_EQ(planned.lines, row.lines);
}

INSTANTIATE_TEST_SUITE_P(CorrectionPlan, CorrectionPlanRows, ::testing::ValuesIn(kPlanRows),
                         [](const ::testing::TestParamInfo<PlanRow>& info) {
                             return std::string(info.param.name);
                         });

TEST(CorrectionPlan, DelayToFramesRoundsToNearestHalfToEven) {
    struct Row {
        std::int64_t ms;
        float fps;
        std::int64_t frames;
    };
    const Row rows[] = {
        {100, 31.25f, 3},  // 3.125
        {64, 31.25f, 2},   // exactly 2
        {90, 31.25f, 3},   // 2.8125, nearest
        {16, 31.25f, 0},   // 0.5, even neighbour 0
        {48, 31.25f, 2},   // 1.5, even neighbour 2
        {80, 31.25f, 2},   // 2.5, even neighbour 2
        {17, 31.25f, 1},   // 0.53125
        {1000, 41.666668f, 42},
        {0, 31.25f, 0},
        {100, 0.0f, 0},
        {100, -93.75f, -9},  // a negative rate from a DTS marker gives a negative count
        {2147483648, 31.25f, 67108864},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DelayToFrames(row.ms, row.fps), row.frames) << row.ms << " ms at " << row.fps;
    }
}

// Frames that are no whole number of milliseconds: the time left comes from the samples.
TEST(CorrectionPlan, RemainingDelayFromTheSamples) {
    const struct {
        std::int32_t rate;
        std::int32_t samplesPerFrame;
        std::int32_t startDelayMs;
        const char* remaining;  // nullptr: no line
    } rows[] = {
        {44100, 1152, 100, "-4.5ms (less than one frame)"},  // MP3: 4 frames are 104.49 ms
        {44100, 512, -100, "4.5ms (less than one frame)"},   // DTS: 9 frames are 104.49 ms
        {48000, 1536, -64, nullptr},                         // AC-3: exactly 2 frames
        {44100, 1, 1, nullptr},  // PCM: 44 samples are 0.998 ms, less than 0.05 ms short
    };
    for (const auto& row : rows) {
        StreamInfo info = Ac3At448();
        info.SamplingRate = row.rate;
        info.SamplesPerFrame = row.samplesPerFrame;
        info.FramesPerSecond =
            static_cast<float>(row.rate) / static_cast<float>(row.samplesPerFrame);
        info.SampleUnits = row.samplesPerFrame == 1;
        const std::string lines = MakeCorrectionPlan(row.startDelayMs, 0, info).lines;
        const std::size_t at = lines.find("Remaining delay at beginning: ");
        if (row.remaining == nullptr) {
            EXPECT_EQ(at, std::string::npos) << lines;
        } else {
            EXPECT_EQ(lines.substr(at), "Remaining delay at beginning: " +
                                            std::string(row.remaining) +
                                            ", to be set in the muxer.\r\n");
        }
    }
}

TEST(CorrectionPlan, RateNotPositiveChangesNothingButKeepsLines) {
    StreamInfo info = Ac3At448();
    info.FramesPerSecond = 0.0f;
    const PlannedCorrection planned = MakeCorrectionPlan(-100, 64, info);
    EXPECT_EQ(planned.plan.cutStartFrames, 0);
    EXPECT_EQ(planned.plan.addEndFrames, 0);
    EXPECT_EQ(planned.lines,
              "100ms (00:00:00,000) ms to be cut at beginning.\r\n"
              "64ms (00:00:00,000) to be add at end.\r\n");

    info.FramesPerSecond = -93.75f;
    const PlannedCorrection negative = MakeCorrectionPlan(-100, -100, info);
    EXPECT_LE(negative.plan.cutStartFrames, 0);
    EXPECT_LE(negative.plan.cutEndFrames, 0);
    EXPECT_EQ(negative.plan.cutStartBytes, negative.plan.cutStartFrames * 1792);
}

TEST(CorrectionPlan, AbsurdRateSaturatesInsteadOfOverflowing) {
    StreamInfo info = Ac3At448();
    info.FramesPerSecond = std::numeric_limits<float>::max();
    const PlannedCorrection planned = MakeCorrectionPlan(-100, std::numeric_limits<std::int32_t>::min(), info);
    EXPECT_EQ(planned.plan.cutStartFrames, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(planned.plan.cutStartBytes, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(planned.plan.cutEndBytes, std::numeric_limits<std::int64_t>::max());
}

}  // namespace
}  // namespace velmora
