// Turns the two delays into whole frames to cut or add at each end of the stream.
#include "correction/correction_plan.h"

#include <limits>

#include "common/number_text.h"
#include "analysis/report_text.h"

namespace velmora {

namespace {

// frames x frameLength, held at the 64-bit limits instead of overflowing; only absurd rates
// from a damaged header can get there.
std::int64_t SaturatingBytes(std::int64_t frames, std::int64_t frameLength) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    if (frames == 0 || frameLength == 0) {
        return 0;
    }
    const bool negative = (frames < 0) != (frameLength < 0);
    // Magnitudes of both factors fit below 2^63 except INT64_MIN, which saturates anyway.
    const std::int64_t a =
        frames == std::numeric_limits<std::int64_t>::min() ? kMax : (frames < 0 ? -frames : frames);
    const std::int64_t b = frameLength < 0 ? -frameLength : frameLength;
    if (a > kMax / b) {
        return negative ? std::numeric_limits<std::int64_t>::min() : kMax;
    }
    return negative ? -(a * b) : a * b;
}

// "<magnitude>ms (<duration of the whole frames>)<tail>": the number before "ms" is what the
// user asked for, the time in brackets is what the whole frames really give.
std::string PlanLine(std::int64_t magnitudeMs, std::int64_t frames, float framesPerSecond,
                     const char* tail) {
    return std::to_string(magnitudeMs) + "ms (" + FramesToTime(frames, framesPerSecond) + ")" +
           tail;
}

}  // namespace

std::int64_t DelayToFrames(std::int64_t magnitudeMs, float framesPerSecond) {
    // A stream can only be cut or padded by whole frames, so the user always gets a slightly
    // different delay from the one asked for. Taking the nearest whole count keeps that error
    // within half a frame (rounding down could miss by almost a whole frame), and an exact
    // half goes to the even neighbour as every other rounding in the program does.
    const long double frames =
        static_cast<long double>(magnitudeMs) * static_cast<long double>(framesPerSecond) / 1000.0L;
    return RoundToInt64(frames);
}

PlannedCorrection MakeCorrectionPlan(std::int32_t startDelayMs, std::int32_t endDelayMs,
                                     const StreamInfo& info) {
    PlannedCorrection result;
    CorrectionPlan& plan = result.plan;
    plan.startDelayMs = startDelayMs;
    plan.endDelayMs = endDelayMs;

    const float fps = info.FramesPerSecond;
    const std::int64_t frameLength = info.FrameLength;
    // Magnitudes are taken in 64 bits so that the smallest 32-bit delay has one too.
    const std::int64_t startMagnitude = plan.startDelayMs < 0
                                            ? -static_cast<std::int64_t>(plan.startDelayMs)
                                            : static_cast<std::int64_t>(plan.startDelayMs);
    const std::int64_t endMagnitude = plan.endDelayMs < 0
                                          ? -static_cast<std::int64_t>(plan.endDelayMs)
                                          : static_cast<std::int64_t>(plan.endDelayMs);

    if (plan.startDelayMs < 0) {
        plan.cutStartFrames = DelayToFrames(startMagnitude, fps);
        plan.cutStartBytes = SaturatingBytes(plan.cutStartFrames, frameLength);
        result.lines +=
            PlanLine(startMagnitude, plan.cutStartFrames, fps, " ms to be cut at beginning.\r\n");
    }
    if (plan.startDelayMs > 0) {
        plan.addStartFrames = DelayToFrames(startMagnitude, fps);
        result.lines +=
            PlanLine(startMagnitude, plan.addStartFrames, fps, " to be add at beginning.\r\n");
    }
    if (plan.endDelayMs < 0) {
        plan.cutEndFrames = DelayToFrames(endMagnitude, fps);
        plan.cutEndBytes = SaturatingBytes(plan.cutEndFrames, frameLength);
        result.lines += PlanLine(endMagnitude, plan.cutEndFrames, fps, " to be cut at end.\r\n");
    }
    if (plan.endDelayMs > 0) {
        plan.addEndFrames = DelayToFrames(endMagnitude, fps);
        result.lines += PlanLine(endMagnitude, plan.addEndFrames, fps, " to be add at end.\r\n");
    }
    return result;
}

}  // namespace velmora
