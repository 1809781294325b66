// The report's target information: what a finished walk really did.
#pragma once

#include <cstdint>
#include <string>

#include "correction/frame_copy.h"

namespace velmora {

// Where silence was asked for but cannot be built: what stands in for it.
[[nodiscard]] std::string CopiesForSilenceLine(std::int64_t frames);

// A frame copied as it is although its CRC fails: its number in the source (from 1) and the
// time it starts there.
[[nodiscard]] std::string CrcErrorLine(std::int64_t frameNumber, const std::string& time);
// What stands for the lines past the first hundred.
[[nodiscard]] std::string MoreCrcErrorsLine(std::int64_t more);

// From "\r\nTarget file information:\r\n\r\n" to the frame-rate sentence; what was done is
// less than planned when the source is shorter.

[[nodiscard]] std::string TargetInformation(const CopyState& copy, float framesPerSecond);

}  // namespace velmora
