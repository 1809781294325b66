// The report's plan: one line per end with a delay.
#pragma once

#include <string>

#include "correction/correction_plan.h"

namespace velmora {

// "<magnitude>ms (<duration of the whole frames>) to be cut at beginning.\r\n" and its
// siblings; the number before "ms" is what the user asked for, the time in brackets what the
// whole frames really give. Where the unit is one sample, the brackets give the samples
// ("100ms (4800 samples) ms to be cut at beginning.").
[[nodiscard]] std::string PlanLines(const CorrectionPlan& plan, float framesPerSecond,
                                    bool samples = false);

// What whole units cannot give of the start delay, asked less achieved, for the muxer:
// "Remaining delay at beginning: -4.0ms (less than one frame), to be set in the muxer.\r\n";
// empty when it rounds to 0.0 ms.
[[nodiscard]] std::string RemainingDelayLine(long double remainingMs, bool samples);
// The same time alone, "-4.0ms"; empty when it rounds to 0.0 ms.
[[nodiscard]] std::string RemainingDelayText(long double remainingMs);

}  // namespace velmora
