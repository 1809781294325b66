// The report lines of a DTS source.
#include "report/dts_source_lines.h"

#include "report/report_text.h"

namespace velmora {

std::string DtsSamplingRateLine(int samplingFrequency) {
    const std::int32_t rate = DtsSamplingRate(samplingFrequency);
    return "Sampling rate: " + (rate > 0 ? KilohertzText(rate) : std::string("invalid")) +
           " kHz\r\n";
}

std::string DtsBitRateLine(int rate) {
    const std::int32_t kbps = DtsBitRate(rate);
    std::string line = "Nominal bit rate: ";
    switch (kbps) {
        case -1:
            return line + "open\r\n";
        case -2:
            return line + "variable\r\n";
        case -3:
            return line + "Loss-less\r\n";
        default:
            return line + std::to_string(kbps) + " kbps\r\n";
    }
}

}  // namespace velmora
