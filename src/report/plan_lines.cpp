// The report's plan: one line per end with a delay.
#include "report/plan_lines.h"

#include "report/report_text.h"

namespace velmora {

namespace {

std::string PlanLine(std::int32_t delayMs, std::int64_t frames, float framesPerSecond,
                     const char* tail) {
    return std::to_string(DelayMagnitude(delayMs)) + "ms (" + FramesToTime(frames, framesPerSecond) +
           ")" + tail;
}

}  // namespace

std::string PlanLines(const CorrectionPlan& plan, float fps) {
    std::string lines;
    if (plan.startDelayMs < 0) {
        lines += PlanLine(plan.startDelayMs, plan.cutStartFrames, fps,
                          " ms to be cut at beginning.\r\n");
    }
    if (plan.startDelayMs > 0) {
        lines += PlanLine(plan.startDelayMs, plan.addStartFrames, fps, " to be add at beginning.\r\n");
    }
    if (plan.endDelayMs < 0) {
        lines += PlanLine(plan.endDelayMs, plan.cutEndFrames, fps, " to be cut at end.\r\n");
    }
    if (plan.endDelayMs > 0) {
        lines += PlanLine(plan.endDelayMs, plan.addEndFrames, fps, " to be add at end.\r\n");
    }
    return lines;
}

}  // namespace velmora
