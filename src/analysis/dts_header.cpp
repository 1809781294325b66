// The report lines of a DTS source.
#include "analysis/dts_header.h"

#include <array>

namespace velmora {

namespace {

// Core sampling frequencies by SFREQ; the codes without a rate read "invalid".
constexpr std::array<const char*, 16> kSamplingTexts = {
    "invalid ", "8 ",       "16 ",      "32 ", "invalid ", "invalid ", "11.025 ",  "22.05 ",
    "44.1 ",    "invalid ", "invalid ", "12 ", "24 ",      "48 ",      "invalid ", "invalid ",
};

}  // namespace

std::string DtsSamplingRateLine(int samplingFrequency) {
    const char* text = samplingFrequency >= 0 && samplingFrequency < 16
                           ? kSamplingTexts[static_cast<std::size_t>(samplingFrequency)]
                           : "invalid ";
    return std::string("Sampling rate: ") + text + "kHz\r\n";
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
