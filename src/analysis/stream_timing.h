// What the first frame and the file's length tell of a stream's timing and frame count.
#pragma once

#include <cstdint>
#include <string>

#include "analysis/stream_info.h"

namespace velmora {

// Frames per second from the samples a frame holds: exact for every format, whatever its
// bit rate says. Without a rate the stream cannot be timed, and FrameLength becomes 0.
void SetTiming(StreamInfo& info, std::int32_t samplingRate, std::int32_t samplesPerFrame);

// Frames of one stream may differ in length (44.1 kHz AC-3 alternates two sizes): the
// count comes from the average length, and a file is whole when that many frames, mixing
// the two sizes, can have its length.
struct FrameSizes {
    long double average = 0;
    std::int64_t shortest = 0;
    std::int64_t longest = 0;
};

[[nodiscard]] FrameSizes ConstantSize(std::int32_t frameLength);

// Sets EstimatedFrames and FrameCountExact.
void CountFrames(std::int64_t fileLength, const FrameSizes& sizes, StreamInfo& info);

// False when the file cannot be that many whole frames.
[[nodiscard]] bool LengthFits(std::int64_t fileLength, const FrameSizes& sizes,
                              std::int64_t frames);

// CountFrames, then the report's Length lines for the count.
[[nodiscard]] std::string CountedLengthLines(std::int64_t fileLength, const FrameSizes& sizes,
                                             StreamInfo& info);

}  // namespace velmora
