// The report of an MPEG audio source.
#pragma once

#include <cstdint>
#include <string>

#include "formats/mpeg_audio_frame.h"

namespace velmora {

// The report lines from "MPEG Version: " to the closing empty line.
[[nodiscard]] std::string MpegAudioReport(const MpegAudioHeader& header, std::int32_t frameLength);

}  // namespace velmora
