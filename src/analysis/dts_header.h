// The DTS core frame header (ETSI TS 102 114, 16-bit big-endian form) and its report lines.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace velmora {

inline constexpr std::size_t kDtsHeaderBytes = 10;

struct DtsHeader {
    std::uint32_t syncWord = 0;  // SYNC, 0x7FFE8001 in the 16-bit big-endian form
    int frameType = 0;           // FTYPE, 1 bit
    int deficitSamples = 0;      // SHORT, 5 bits
    int crcPresent = 0;          // CPF, 1 bit
    int sampleBlocks = 0;        // NBLKS, 7 bits
    int frameSize = 0;           // FSIZE, 14 bits: primary frame bytes minus 1
    int channelArrangement = 0;  // AMODE, 6 bits
    int samplingFrequency = 0;   // SFREQ, 4 bits
    int bitRate = 0;             // RATE, 5 bits: 29..31 mark open, variable, lossless
};

// Missing bytes (a short span) read as 0.
[[nodiscard]] DtsHeader DecodeDtsHeader(std::span<const std::uint8_t> bytes);

[[nodiscard]] bool DtsSyncOk(const DtsHeader& header);

// kbit/s for RATE; -1, -2, -3 for the open, variable and lossless markers.
[[nodiscard]] std::int32_t DtsBitRate(int rate);

// FSIZE + 1: never 0.
[[nodiscard]] std::int32_t DtsFrameLength(const DtsHeader& header);

// "Sampling rate: 48 kHz\r\n"
[[nodiscard]] std::string DtsSamplingRateLine(int samplingFrequency);
// "Nominal bit rate: 1536 kbps\r\n", or the marker's text
[[nodiscard]] std::string DtsBitRateLine(int rate);

}  // namespace velmora
