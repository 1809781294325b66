// The report's plan: one line per end with a delay.
#include "report/plan_lines.h"

#include "common/number_text.h"
#include "report/report_text.h"

namespace velmora {

namespace {

std::string PlanLine(std::int32_t delayMs, std::int64_t frames, float framesPerSecond,
                     bool samples, const char* tail) {
    const std::string inBrackets =
        samples ? std::to_string(frames) + (frames == 1 ? " sample" : " samples")
                : FramesToTime(frames, framesPerSecond);
    return std::to_string(DelayMagnitude(delayMs)) + "ms (" + inBrackets + ")" + tail;
}

}  // namespace

std::string PlanLines(const CorrectionPlan& plan, float fps, bool samples) {
    std::string lines;
    if (plan.startDelayMs < 0) {
        lines += PlanLine(plan.startDelayMs, plan.cutStartFrames, fps, samples,
                          " ms to be cut at beginning.\r\n");
    }
    if (plan.startDelayMs > 0) {
        lines += PlanLine(plan.startDelayMs, plan.addStartFrames, fps, samples,
                          " to be add at beginning.\r\n");
    }
    if (plan.endDelayMs < 0) {
        lines +=
            PlanLine(plan.endDelayMs, plan.cutEndFrames, fps, samples, " to be cut at end.\r\n");
    }
    if (plan.endDelayMs > 0) {
        lines +=
            PlanLine(plan.endDelayMs, plan.addEndFrames, fps, samples, " to be add at end.\r\n");
    }
    return lines;
}

std::string RemainingDelayText(long double remainingMs) {
    // Tenths as a whole number, so that every system writes the same digits.
    const std::int64_t tenths = RoundToInt64(remainingMs * 10.0L);
    if (tenths == 0) {
        return {};
    }
    const std::int64_t size = tenths < 0 ? -tenths : tenths;
    return (tenths < 0 ? "-" : "") + std::to_string(size / 10) + "." + std::to_string(size % 10) +
           "ms";
}

std::string RemainingDelayLine(long double remainingMs, bool samples) {
    const std::string remaining = RemainingDelayText(remainingMs);
    if (remaining.empty()) {
        return {};
    }
    return "Remaining delay at beginning: " + remaining + " (less than one " +
           (samples ? "sample" : "frame") + "), to be set in the muxer.\r\n";
}

}  // namespace velmora
