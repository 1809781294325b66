// Report pieces shared by the source and the target information.
#include "analysis/report_text.h"

#include "common/number_text.h"

namespace velmora {

namespace {

// The last `width` characters of the number written with leading zeros.
std::string LastDigits(std::int64_t value, std::size_t width) {
    std::string digits = std::string(width, '0') + std::to_string(value);
    return digits.substr(digits.size() - width);
}

}  // namespace

std::int64_t FramesToMs(std::int64_t frames, float framesPerSecond) {
    if (!(framesPerSecond > 0.0f)) {
        return 0;
    }
    return RoundToInt64(static_cast<long double>(frames) / framesPerSecond * 1000.0L);
}

std::string FramesToTime(std::int64_t frames, float framesPerSecond) {
    std::int64_t total = 0;
    if (framesPerSecond > 0.0f) {
        total = RoundToInt64(static_cast<long double>(frames) / framesPerSecond * 1000.0L);
    }
    if (total < 0) {
        // Frame counts are never negative while the rate is positive; show nothing odd if so.
        total = 0;
    }
    std::int64_t seconds = total / 1000;
    const std::int64_t milliseconds = total - seconds * 1000;
    std::int64_t minutes = seconds / 60;
    seconds -= minutes * 60;
    const std::int64_t hours = minutes / 60;
    minutes -= hours * 60;
    return LastDigits(hours, 2) + ":" + LastDigits(minutes, 2) + ":" + LastDigits(seconds, 2) +
           "," + LastDigits(milliseconds, 3);
}

std::string FrameRateSentence(float framesPerSecond) {
    if (framesPerSecond == 1.0f) {
        return "There is 1 frame in one second.";
    }
    return "There are " + FrameRateText(framesPerSecond) + " frames in one second.";
}

}  // namespace velmora
