// The report lines of an AAC source.
#pragma once

#include <cstdint>
#include <string>

#include "formats/aac_adts_frame.h"

namespace velmora {

// What the first frames of an ADTS stream showed: a mean taken over a few of them.
struct AacFirstFrames {
    AdtsHeader header;
    bool sbr = false;
    double kilobitsPerSecond = 0.0;
    std::int64_t estimatedFrames = 0;
    float framesPerSecond = 0.0f;
};

// The lines from "Format: AAC LC (MPEG-4, ADTS)\r\n" to the frame-rate line.
[[nodiscard]] std::string AacReport(const AacFirstFrames& first);

}  // namespace velmora
