// The AC-3 syncframe header (ATSC A/52 syncinfo) and its report lines.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace velmora {

inline constexpr std::size_t kAc3HeaderBytes = 5;

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

// Bytes per syncframe (twice the table's words); 0 for fscod 3 or codes without a row.
[[nodiscard]] std::int32_t Ac3FrameLength(int fscod, int frmsizecod);

// "Sampling rate: 48 kHz\r\n"
[[nodiscard]] std::string Ac3SamplingRateLine(int fscod);
// "Nominal bit rate: 448 kbps\r\n"
[[nodiscard]] std::string Ac3BitRateLine(std::int32_t kbps);
// "Framelength: 0x0700\r\n"
[[nodiscard]] std::string Ac3FrameLengthLine(std::int32_t frameLength);

}  // namespace velmora
