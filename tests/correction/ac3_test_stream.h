// The 48 kHz 448 kbit/s AC-3 stream the writer tests build their sources from.
#pragma once

#include <cstdint>

#include "analysis/stream_info.h"
#include "formats/ac3_crc.h"
#include "support/test_support.h"

namespace velmora::test {

inline constexpr std::int64_t kFrame = 1792;

// What the analysis gives for such a stream.
inline StreamInfo Ac3Info() {
    StreamInfo info;
    info.FrameLength = static_cast<std::int32_t>(kFrame);
    info.NominalBitRate = 448;
    info.FramesPerSecond = 31.25f;
    info.FrameCountExact = true;
    return info;
}

// `count` whole frames, each starting with the sync word, differing from the others and
// with both CRC words right.
inline Bytes Ac3Frames(std::int64_t count) {
    Bytes frames = BuildFrames(Ac3Header(0x1E), kFrame, count);
    for (std::size_t at = 0; at + kFrame <= frames.size(); at += kFrame) {
        SetAc3Crcs(std::span(frames).subspan(at, kFrame));
    }
    return frames;
}

}  // namespace velmora::test
