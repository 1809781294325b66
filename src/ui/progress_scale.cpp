// Fits a 64-bit byte progress into the int range of a progress bar widget.
#include "ui/progress_scale.h"

#include <algorithm>
#include <limits>

namespace velmora {

ProgressBarRange ScaleProgress(std::int64_t maximum, std::int64_t value) {
    if (maximum <= 0) {
        return ProgressBarRange{.maximum = 1, .value = 0};
    }
    constexpr std::int64_t kLargest = std::numeric_limits<int>::max();
    int shift = 0;
    while ((maximum >> shift) > kLargest) {
        ++shift;
    }
    const std::int64_t held = std::clamp<std::int64_t>(value, 0, maximum);
    return ProgressBarRange{.maximum = static_cast<int>(maximum >> shift),
                            .value = static_cast<int>(held >> shift)};
}

}  // namespace velmora
