// The report's target information: what a finished walk really did.
#pragma once

#include <cstdint>
#include <string>

#include "correction/frame_copy.h"
#include "correction/frame_reader.h"

namespace velmora {

// Where silence was asked for but cannot be built: what stands in for it.
[[nodiscard]] std::string CopiesForSilenceLine(std::int64_t frames);

// A frame copied as it is although its CRC fails: its number in the source (from 1) and the
// time it starts there.
[[nodiscard]] std::string CrcErrorLine(std::int64_t frameNumber, const std::string& time);
// What stands for the lines past the first hundred.
[[nodiscard]] std::string MoreCrcErrorsLine(std::int64_t more);

// One repair: what was found at the source time and byte, and what went in its place. The
// frame number counts the repaired stream's frames from 1, which is the source's own count
// while the timing is kept.
[[nodiscard]] std::string RepairLine(const Repair& repair, std::int64_t frameNumber,
                                     const std::string& time, std::int64_t sourceByte,
                                     bool copies);
[[nodiscard]] std::string MoreRepairsLine(std::int64_t more);
// The same finding before a write, as a warning of the source information: what is there,
// not what the write will do with it.
[[nodiscard]] std::string DamageWarning(const Repair& repair, std::int64_t frameNumber,
                                        const std::string& time, std::int64_t sourceByte);
// "3 damaged frames replaced by silence, 684 bytes of junk dropped; the timing is kept."
[[nodiscard]] std::string RepairSummaryLine(const CopyState& copy);

// From "\r\nTarget file information:\r\n\r\n" to the frame-rate sentence; what was done is
// less than planned when the source is shorter.

[[nodiscard]] std::string TargetInformation(const CopyState& copy, float framesPerSecond);

}  // namespace velmora
