// What the analysis learnt about the source; the plan and the writer work from this alone.
#pragma once

#include <cstdint>
#include <vector>

namespace velmora {

struct StreamInfo {
    // Bytes in one frame, from the first frame header. 0 means no usable frame length.
    std::int32_t FrameLength = 0;
    // kbit/s from the header; DTS uses -1, -2, -3 for open, variable and lossless streams.
    std::int32_t NominalBitRate = 0;
    // Frames per second, kept in single precision as the reports show it.
    float FramesPerSecond = 0.0f;
    // One frame to insert at the start instead of a copy of the source's first frame.
    std::vector<std::uint8_t> SilentFrame;
    // SilentFrame holds a stored silent frame that matches this source.
    bool SilentFrameLoaded = false;
};

}  // namespace velmora
