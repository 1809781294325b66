// The copy of a WAVE file: samples cut and silence added at both ends, the header and every
// other chunk rewritten to the new length.
#pragma once

#include <cstdint>

#include "analysis/stream_info.h"
#include "correction/correction_plan.h"
#include "correction/frame_copy.h"
#include "correction/write_observer.h"
#include "platform/files/byte_file.h"

namespace velmora {

// The largest RIFF size field: a target beyond it is written as RF64.
inline constexpr std::uint64_t kRiffSizeLimit = 0xFFFFFFFF;

// The plan's frames are samples here. `riffLimit` is kRiffSizeLimit but for tests, which
// cannot write 4 GiB.
[[nodiscard]] CopyState CopySamples(InputFile& source, OutputFile& target,
                                    std::int64_t sourceLength, const CorrectionPlan& plan,
                                    const StreamInfo& info, WriteObserver& observer,
                                    std::uint64_t riffLimit = kRiffSizeLimit);

}  // namespace velmora
