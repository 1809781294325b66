// The report lines of a DTS source.
#pragma once

#include <cstdint>
#include <string>

#include "formats/dts_frame.h"

namespace velmora {

// "Sampling rate: 48 kHz\r\n"
[[nodiscard]] std::string DtsSamplingRateLine(int samplingFrequency);
// "Nominal bit rate: 1536 kbps\r\n", or the marker's text
[[nodiscard]] std::string DtsBitRateLine(int rate);

}  // namespace velmora
