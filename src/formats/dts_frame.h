// The DTS core frame header (ETSI TS 102 114, 16-bit big-endian form) and its tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora {

inline constexpr std::size_t kDtsHeaderBytes = 10;

struct DtsHeader {
    std::uint32_t syncWord = 0;  // SYNC, 0x7FFE8001 in the 16-bit big-endian form
    int frameType = 0;           // FTYPE, 1 bit
    int deficitSamples = 0;      // SHORT, 5 bits
    int crcPresent = 0;          // CPF, 1 bit
    int sampleBlocks = 0;        // NBLKS, 7 bits: blocks of 32 samples minus 1
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

// Samples per second for SFREQ; 0 for the codes without a rate.
[[nodiscard]] std::int32_t DtsSamplingRate(int samplingFrequency);

// (NBLKS + 1) blocks of 32 samples.
[[nodiscard]] std::int32_t DtsSamplesPerFrame(const DtsHeader& header);

}  // namespace velmora
