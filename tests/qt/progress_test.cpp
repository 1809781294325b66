// The progress bar for sources of any size, 2 GiB and more included.
#include "ui/progress_scale.h"

#include <gtest/gtest.h>

#include <QProgressBar>
#include <array>
#include <cstdint>
#include <limits>

#include "platform/qt/qt_main_view.h"

namespace velmora {
namespace {

constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();
constexpr std::int64_t kGiB = std::int64_t{1} << 30;

TEST(ScaleProgress, KeepsSmallRangesAndHalvesLargeOnesUntilTheyFit) {
    struct Row {
        std::int64_t maximum;
        std::int64_t value;
        int barMaximum;
        int barValue;
    };
    const std::array<Row, 9> rows{{
        {1000, 250, 1000, 250},
        {kIntMax, kIntMax - 1, static_cast<int>(kIntMax), static_cast<int>(kIntMax - 1)},
        {kIntMax + 1, kIntMax + 1, 1 << 30, 1 << 30},
        {6 * kGiB, 3 * kGiB, 3 << 29, 3 << 28},
        {std::numeric_limits<std::int64_t>::max(), 0, static_cast<int>(kIntMax), 0},
        // Values outside 0..maximum are held at its ends.
        {1000, 2000, 1000, 1000},
        {1000, -5, 1000, 0},
        // Nothing to copy: an empty bar, not a busy one.
        {0, 0, 1, 0},
        {-1792, 0, 1, 0},
    }};
    for (const Row& row : rows) {
        const ProgressBarRange bar = ScaleProgress(row.maximum, row.value);
        EXPECT_EQ(bar.maximum, row.barMaximum) << row.maximum << " " << row.value;
        EXPECT_EQ(bar.value, row.barValue) << row.maximum << " " << row.value;
    }
}

TEST(ScaleProgress, KeepsTheProportionOfEveryByteCountAbove2GiB) {
    const std::int64_t maximum = 5 * kGiB + 1792 * 7;
    for (std::int64_t value = 0; value <= maximum; value += maximum / 97) {
        const ProgressBarRange bar = ScaleProgress(maximum, value);
        ASSERT_LE(bar.value, bar.maximum);
        const double expected = static_cast<double>(value) / static_cast<double>(maximum);
        const double shown = static_cast<double>(bar.value) / static_cast<double>(bar.maximum);
        EXPECT_NEAR(shown, expected, 1e-8) << value;
    }
}

TEST(QtMainView, ProgressBarShowsByteCountsAbove2GiB) {
    QtMainView window;
    auto* bar = window.findChild<QProgressBar*>("pro_Status");
    ASSERT_NE(bar, nullptr);

    window.SetProgressMaximum(6 * kGiB);
    window.SetProgressValue(4 * kGiB + 1792);
    EXPECT_LE(bar->maximum(), kIntMax);
    EXPECT_EQ(bar->text(), "66%");
    EXPECT_GT(bar->value(), 0);

    // A value set before its maximum is shown on the new scale.
    window.SetProgressValue(3 * kGiB);
    window.SetProgressMaximum(12 * kGiB);
    EXPECT_EQ(bar->text(), "25%");

    window.SetProgressValue(0);
    EXPECT_EQ(bar->value(), 0);
}

}  // namespace
}  // namespace velmora
