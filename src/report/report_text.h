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

// "Length: <n>frames (<time>)\r\n", and the warning when the file cannot be that many whole
// frames.
[[nodiscard]] std::string LengthLines(std::int64_t frames, float framesPerSecond, bool fits);

// "48", "44.1", "22.05": a sampling rate in kHz as the reports write it.
[[nodiscard]] std::string KilohertzText(std::int32_t rate);

// "1.0", "2.0", "5.1": AC-3 channels in front and behind, then the low-frequency channel.
[[nodiscard]] std::string ChannelText(int acmod, int lfeon);

// What stood before the first frame and the stream's byte order, where either is unusual.
[[nodiscard]] std::string FramePlaceLines(std::int64_t skippedBytes, bool byteSwapped);

}  // namespace velmora
