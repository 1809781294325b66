// The report lines of an AC-3 source.
#pragma once

#include <cstdint>
#include <string>

#include "formats/ac3_frame.h"

namespace velmora {

// "Sampling rate: 48 kHz\r\n"
[[nodiscard]] std::string Ac3SamplingRateLine(int fscod);
// "Nominal bit rate: 448 kbps\r\n"
[[nodiscard]] std::string Ac3BitRateLine(std::int32_t kbps);
// "Framelength: 0x0700\r\n"
[[nodiscard]] std::string Ac3FrameLengthLine(std::int32_t frameLength);

}  // namespace velmora
