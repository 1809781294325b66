// Size of an AC-3 sync frame from its sample rate and frame size codes.
#include "silence/ac3_frame_size.h"

#include "formats/ac3_frame.h"

namespace velmora {

// The table itself is the program's own, so generated frames and the frames the program
// reads can never disagree about a size.

std::optional<int> Ac3FrameWords(int fscod, int frmsizecod) {
    const std::int32_t bytes = Ac3FrameLength(fscod, frmsizecod);
    if (bytes <= 0) {
        return std::nullopt;
    }
    return bytes / 2;
}

std::optional<int> Ac3NominalBitRate(int frmsizecod) {
    const std::int32_t kbps = Ac3BitRate(frmsizecod);
    if (kbps <= 0) {
        return std::nullopt;
    }
    return kbps;
}

}  // namespace velmora
