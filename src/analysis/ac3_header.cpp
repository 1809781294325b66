// The report lines of an AC-3 source.
#include "analysis/ac3_header.h"

#include <array>
#include <cstdio>


namespace velmora {

std::string Ac3SamplingRateLine(int fscod) {
    static constexpr std::array<const char*, 4> kTexts = {"48 ", "44.1 ", "32 ", "reserved "};
    const char* text =
        fscod >= 0 && fscod < 4 ? kTexts[static_cast<std::size_t>(fscod)] : kTexts[3];
    return std::string("Sampling rate: ") + text + "kHz\r\n";
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
