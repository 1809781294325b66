// The DTS core frame header (ETSI TS 102 114, 16-bit big-endian form) and its tables.
#include "formats/dts_frame.h"

#include <array>

#include "formats/bit_reader.h"

namespace velmora {

namespace {

// Core sampling frequencies by SFREQ in Hz; 0 where the code has no rate.
constexpr std::array<std::int32_t, 16> kSamplingRates = {
    0, 8000, 16000, 32000, 0, 0, 11025, 22050, 44100, 0, 0, 12000, 24000, 48000, 0, 0,
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

std::int32_t DtsSamplingRate(int samplingFrequency) {
    return samplingFrequency >= 0 && samplingFrequency < 16
               ? kSamplingRates[static_cast<std::size_t>(samplingFrequency)]
               : 0;
}

std::int32_t DtsSamplesPerFrame(const DtsHeader& header) {
    return (header.sampleBlocks + 1) * 32;
}

}  // namespace velmora
