// Reading and writing numbers the way every box and report line does.
#include "common/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace velmora {
namespace {

struct LeadingNumberRow {
    const char* text;
    long double value;
};

TEST(NumberText, ReadsTheLeadingDecimalNumber) {
    const LeadingNumberRow rows[] = {
        {"120", 120.0L},   {"-40ms", -40.0L}, {"+7", 7.0L},   {"12.5", 12.5L},
        {"-99.5", -99.5L}, {"abc", 0.0L},     {"", 0.0L},     {"-", 0.0L},
        {".5", 0.5L},      {"3.", 3.0L},      {" 64", 64.0L}, {"1e3", 1.0L},
        {"0x10", 0.0L},    {"1,5", 1.0L},     {"--3", 0.0L},  {"12 34", 12.0L},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ReadLeadingNumber(row.text), row.value) << '"' << row.text << '"';
    }
}

TEST(NumberText, RoundsHalvesToTheEvenNeighbour) {
    const long double rows[][2] = {
        {12.5L, 12.0L}, {13.5L, 14.0L}, {-99.5L, -100.0L}, {-100.5L, -100.0L}, {12.6L, 13.0L},
        {0.5L, 0.0L},   {1.5L, 2.0L},   {-0.4L, 0.0L},     {3.125L, 3.0L},     {2.0L, 2.0L},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(RoundHalfEven(row[0]), row[1]) << static_cast<double>(row[0]);
    }
}

TEST(NumberText, DelaysOutsideThe32BitRangeSaturate) {
    EXPECT_EQ(ReadWholeMilliseconds("2147483647"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ReadWholeMilliseconds("99999999999999"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ReadWholeMilliseconds("-99999999999999"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ReadWholeMilliseconds(std::string(6000, '9')),
              std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ReadWholeMilliseconds("-40ms"), -40);
    EXPECT_EQ(ReadWholeMilliseconds("12.6"), 13);
    EXPECT_EQ(RoundToInt64(std::nanl("")), 0);
}

TEST(NumberText, FrameRatesUseTheShortestTextThatReadsBack) {
    const struct {
        float rate;
        const char* text;
    } rows[] = {
        {31.25f, "31.25"},
        {static_cast<float>(1000.0L / 48.0L), "20.833334"},
        {static_cast<float>(1536000.0L / (2013.0L * 8.0L)), "95.38003"},
        {static_cast<float>(192000.0L / (8.0L * 576.0L)), "41.666668"},
        {125.0f, "125"},
        {0.0f, "0"},
        {-0.09538003f, "-0.09538003"},
        {1e-7f, "0.0000001"},
        {3e10f, "30000001024"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FrameRateText(row.rate), row.text);
    }
}

TEST(NumberText, FrameRateTextIgnoresTheLocale) {
    // A German locale writes "31,25" through printf; the report must not.
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_ALL, "C.UTF-8") == nullptr) {
        GTEST_SKIP() << "no second locale installed";
    }
    EXPECT_EQ(FrameRateText(31.25f), "31.25");
    EXPECT_EQ(ReadLeadingNumber("12.5"), 12.5L);
    std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace velmora
