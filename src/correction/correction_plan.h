// Turns the two delays into whole frames to cut or add at each end of the stream.
#pragma once

#include <cstdint>
#include <string>

#include "analysis/stream_info.h"

namespace velmora {

struct CorrectionPlan {
    std::int32_t startDelayMs = 0;
    std::int32_t endDelayMs = 0;
    std::int64_t cutStartFrames = 0;
    std::int64_t addStartFrames = 0;
    std::int64_t cutEndFrames = 0;
    std::int64_t addEndFrames = 0;
    std::int64_t cutStartBytes = 0;
    std::int64_t cutEndBytes = 0;
};

struct PlannedCorrection {
    CorrectionPlan plan;
    // One line per end with a non-zero delay, each ending in "\r\n".
    std::string lines;
};

// A delay's size in milliseconds, taken in 64 bits so that the smallest 32-bit delay has one.
[[nodiscard]] std::int64_t DelayMagnitude(std::int32_t delayMs);

// Whole frames for a delay magnitude in milliseconds at the given rate.
[[nodiscard]] std::int64_t DelayToFrames(std::int64_t magnitudeMs, float framesPerSecond);

// The start delay asked less the one the plan's whole units give, in milliseconds.
[[nodiscard]] long double RemainingStartDelayMs(const CorrectionPlan& plan,
                                                const StreamInfo& info);

// From the two delays in whole milliseconds, as read from the delay boxes. Any delays give
// a plan.
[[nodiscard]] PlannedCorrection MakeCorrectionPlan(std::int32_t startDelayMs,
                                                   std::int32_t endDelayMs,
                                                   const StreamInfo& info);

}  // namespace velmora
