// Turns the two delay texts into whole frames to cut or add at each end of the stream.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// Whole frames for a delay magnitude in milliseconds at the given rate.
[[nodiscard]] std::int64_t DelayToFrames(std::int64_t magnitudeMs, float framesPerSecond);

// From the texts as the delay boxes hold them. Any text gives a plan.
[[nodiscard]] PlannedCorrection MakeCorrectionPlan(std::string_view startDelayText,
                                                   std::string_view endDelayText,
                                                   const StreamInfo& info);

}  // namespace velmora
