// The stream formats Velmora understands, as chosen from the source name.
#pragma once

#include <cstdint>

namespace velmora {

// Stored as the signed 32-bit codes that file names map to: 0 AC-3, 1 MPEG audio, 2 DTS,
// 3 AAC in ADTS, 4 PCM in WAVE.
enum class FileType : std::int32_t {
    Ac3 = 0,
    MpegAudio = 1,
    Dts = 2,
    Aac = 3,
    Wav = 4,
    // Not a type of any file name: what a content check stands for when it recognised no
    // stream at all.
    Unknown = -1,
};

}  // namespace velmora
