// Fits a 64-bit byte progress into the int range of a progress bar widget.
#pragma once

#include <cstdint>

namespace velmora {

struct ProgressBarRange {
    int maximum = 1;
    int value = 0;
};

// Sources above 2 GiB give byte counts past INT_MAX; both numbers are then divided by the
// same power of two, so the bar keeps the true proportion. A maximum of 0 or less (nothing
// to copy) gives an empty bar rather than a widget's "busy" animation; the value is held
// between 0 and the maximum.
[[nodiscard]] ProgressBarRange ScaleProgress(std::int64_t maximum, std::int64_t value);

}  // namespace velmora
