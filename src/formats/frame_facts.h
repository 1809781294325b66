// One description per format: what a frame's own header says about that frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/file_type.h"

namespace velmora {

// Enough bytes for the header of every format (DTS needs the most).
inline constexpr std::size_t kFrameFactsBytes = 10;

struct FrameFacts {
    // The format's sync test passed.
    bool syncOk = false;
    // Bytes of this frame; 0 when the header gives no usable length.
    std::int64_t length = 0;
    // Samples per channel in this frame and samples per second; 0 where unknown.
    std::int32_t samples = 0;
    std::int32_t samplingRate = 0;
    // The header fields that may not change inside one stream (sampling rate, layer,
    // version): frames with different keys do not belong to the same stream.
    std::uint32_t streamKey = 0;
};

// Reads the frame that starts at bytes[0]. Missing bytes read as 0.
[[nodiscard]] FrameFacts ReadFrameFacts(FileType fileType, std::span<const std::uint8_t> bytes);

}  // namespace velmora
