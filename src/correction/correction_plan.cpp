// Turns the two delays into whole frames to cut or add at each end of the stream.
#include "correction/correction_plan.h"

#include <limits>

#include "common/number_text.h"
#include "report/plan_lines.h"

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

long double RemainingStartDelayMs(const CorrectionPlan& plan, const StreamInfo& info) {
    if (info.FramesPerSecond <= 0.0f) {
        return 0.0L;
    }
    // Time from the samples where the stream gives them: 44.1 kHz frames are no whole
    // number of milliseconds.
    const long double frames = plan.startDelayMs < 0
                                   ? -static_cast<long double>(plan.cutStartFrames)
                                   : static_cast<long double>(plan.addStartFrames);
    const long double achievedMs =
        info.SamplingRate > 0 && info.SamplesPerFrame > 0
            ? frames * info.SamplesPerFrame * 1000.0L / info.SamplingRate
            : frames * 1000.0L / info.FramesPerSecond;
    return plan.startDelayMs - achievedMs;
}

std::int64_t DelayMagnitude(std::int32_t delayMs) {
    return delayMs < 0 ? -static_cast<std::int64_t>(delayMs) : static_cast<std::int64_t>(delayMs);
}

PlannedCorrection MakeCorrectionPlan(std::int32_t startDelayMs, std::int32_t endDelayMs,
                                     const StreamInfo& info) {
    PlannedCorrection result;
    CorrectionPlan& plan = result.plan;
    plan.startDelayMs = startDelayMs;
    plan.endDelayMs = endDelayMs;

    const float fps = info.FramesPerSecond;
    const std::int64_t frameLength = info.FrameLength;
    const std::int64_t startMagnitude = DelayMagnitude(plan.startDelayMs);
    const std::int64_t endMagnitude = DelayMagnitude(plan.endDelayMs);

    if (plan.startDelayMs < 0) {
        plan.cutStartFrames = DelayToFrames(startMagnitude, fps);
        plan.cutStartBytes = SaturatingBytes(plan.cutStartFrames, frameLength);
    }
    if (plan.startDelayMs > 0) {
        plan.addStartFrames = DelayToFrames(startMagnitude, fps);
    }
    if (plan.endDelayMs < 0) {
        plan.cutEndFrames = DelayToFrames(endMagnitude, fps);
        plan.cutEndBytes = SaturatingBytes(plan.cutEndFrames, frameLength);
    }
    if (plan.endDelayMs > 0) {
        plan.addEndFrames = DelayToFrames(endMagnitude, fps);
    }
    result.lines = PlanLines(plan, fps, info.SampleUnits);
    if (plan.startDelayMs != 0 && fps > 0.0f) {
        result.lines += RemainingDelayLine(RemainingStartDelayMs(plan, info), info.SampleUnits);
    }
    return result;
}

}  // namespace velmora
