// The report lines of an AC-3 source.
#include "report/ac3_source_lines.h"

#include <cstdio>

#include "report/report_text.h"

namespace velmora {

std::string Ac3SamplingRateLine(int fscod) {
    const std::int32_t rate = Ac3SamplingRate(fscod);
    return "Sampling rate: " + (rate > 0 ? KilohertzText(rate) : std::string("reserved")) +
           " kHz\r\n";
}

std::string Ac3BitRateLine(std::int32_t kbps) {
    return "Nominal bit rate: " + std::to_string(kbps) + " kbps\r\n";
}

std::string Ac3FrameLengthLine(std::int32_t frameLength) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(frameLength));
    return std::string("Framelength: 0x") + hex + "\r\n";
}

}  // namespace velmora
