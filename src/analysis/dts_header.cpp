// The DTS core frame header (ETSI TS 102 114, 16-bit big-endian form) and its report lines.
#include "analysis/dts_header.h"

#include <array>

#include "analysis/bit_reader.h"

namespace velmora {

namespace {

// Core sampling frequencies by SFREQ; the codes without a rate read "invalid".
constexpr std::array<const char*, 16> kSamplingTexts = {
    "invalid ", "8 ",       "16 ",      "32 ", "invalid ", "invalid ", "11.025 ",  "22.05 ",
    "44.1 ",    "invalid ", "invalid ", "12 ", "24 ",      "48 ",      "invalid ", "invalid ",
};

// Transmission bit rates in kbit/s by RATE. 1411.2 is held as 1411; the last three codes
// are markers, not rates.
constexpr std::array<std::int32_t, 32> kBitRates = {
    32,  56,   64,   96,   112,  128,  192,  224,  256,  320,  384,  448,  512,  576, 640, 768,
    960, 1024, 1152, 1280, 1344, 1408, 1411, 1472, 1536, 1920, 2048, 3072, 3840, -1,  -2,  -3,
};

}  // namespace

DtsHeader DecodeDtsHeader(std::span<const std::uint8_t> bytes) {
    BitReader bits(bytes);
    DtsHeader header;
    header.syncWord = bits.Read(32);
    header.frameType = static_cast<int>(bits.Read(1));
    header.deficitSamples = static_cast<int>(bits.Read(5));
    header.crcPresent = static_cast<int>(bits.Read(1));
    header.sampleBlocks = static_cast<int>(bits.Read(7));
    header.frameSize = static_cast<int>(bits.Read(14));
    header.channelArrangement = static_cast<int>(bits.Read(6));
    header.samplingFrequency = static_cast<int>(bits.Read(4));
    header.bitRate = static_cast<int>(bits.Read(5));
    return header;
}

bool DtsSyncOk(const DtsHeader& header) {
    return header.syncWord == 0x7FFE8001U;
}

std::int32_t DtsBitRate(int rate) {
    return rate >= 0 && rate < 32 ? kBitRates[static_cast<std::size_t>(rate)] : 0;
}

std::int32_t DtsFrameLength(const DtsHeader& header) {
    return header.frameSize + 1;
}

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
