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

// The bit stream information fields that say what a frame holds (A/52 5.4.2).
struct Ac3Bsi {
    int bsid = 0;       // bsid, 8 for this syntax (6 the alternate one)
    int bsmod = 0;      // bsmod, 0..7: service type
    int acmod = 0;      // acmod, 0..7: channel layout
    int cmixlev = 0;    // cmixlev, with three front channels
    int surmixlev = 0;  // surmixlev, with surround channels
    int dsurmod = 0;    // dsurmod, with 2/0
    int lfeon = 0;      // lfeon: low-frequency effects channel
    int dialnorm = 0;   // dialnorm, 0..31: dialogue level
};

// Missing bytes (a short span) read as 0.
[[nodiscard]] Ac3Bsi DecodeAc3Bsi(std::span<const std::uint8_t> frame);

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
