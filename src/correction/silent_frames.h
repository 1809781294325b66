// Stored silent AC-3 frames for padding the start of a stream with true silence.
#pragma once

#include <array>
#include <cstdint>

#include "formats/file_type.h"
#include "analysis/stream_info.h"

namespace velmora {

// Three complete 48 kHz AC-3 sync frames, back to back: A (192 kbit/s) at 0-767,
// B (384 kbit/s) at 768-2303, C (448 kbit/s) at 2304-4095. Made at build time by
// tools/silent_frames from its parameters.
extern const std::array<std::uint8_t, 4096> SilentFrameTemplates;

// Fills info.SilentFrame with the template whose fifth byte matches, when the check box
// value is 1 and the source is AC-3; always clears SilentFrameLoaded first.
void LoadSilentFrame(StreamInfo& info, FileType fileType, std::uint8_t fifthByte,
                     int addSilentValue);

}  // namespace velmora
