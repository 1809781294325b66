// Report pieces shared by the source and the target information.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// The first line of every report, followed by an empty one.
inline constexpr std::string_view kSourceInformationHeading = "Source file information:\r\n\r\n";

// Duration of a frame count as HH:MM:SS,mmm; 00:00:00,000 when the rate is not positive.
// Hours of 100 or more keep only their last two digits.
[[nodiscard]] std::string FramesToTime(std::int64_t frames, float framesPerSecond);

// Milliseconds of a frame count (count / rate * 1000, rounded half to even); 0 when the
// rate is not positive.
[[nodiscard]] std::int64_t FramesToMs(std::int64_t frames, float framesPerSecond);

// "There is 1 frame in one second." or "There are <rate> frames in one second.",
// without a line end.
[[nodiscard]] std::string FrameRateSentence(float framesPerSecond);

}  // namespace velmora
