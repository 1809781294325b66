// The AC-3 sync frame header (ATSC A/52 syncinfo) and the facts of Table 5.18.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora {

inline constexpr std::size_t kAc3HeaderBytes = 5;
// Every AC-3 sync frame carries six blocks of 256 samples.
inline constexpr std::int32_t kAc3SamplesPerFrame = 1536;

struct Ac3Header {
    std::uint16_t syncWord = 0;  // syncword, 0x0B77 in a valid frame
    std::uint16_t crc1 = 0;      // crc1, read but not checked
    int fscod = 0;               // sample rate code 0..3 (3 reserved)
    int frmsizecod = 0;          // frame size code 0..63 (38..63 have no table row)
};

// Missing bytes (a short span) read as 0.
[[nodiscard]] Ac3Header DecodeAc3Header(std::span<const std::uint8_t> bytes);

[[nodiscard]] bool Ac3SyncOk(const Ac3Header& header);

// kbit/s of Table 5.18's nominal rate column; 0 for codes without a row.
[[nodiscard]] std::int32_t Ac3BitRate(int frmsizecod);

// Bytes per sync frame (twice the table's 16-bit words); 0 for fscod 3 or codes without a
// row.
[[nodiscard]] std::int32_t Ac3FrameLength(int fscod, int frmsizecod);

// Samples per second for fscod; 0 for the reserved code.
[[nodiscard]] std::int32_t Ac3SamplingRate(int fscod);

}  // namespace velmora
