// The E-AC-3 sync frame header (ETSI TS 102 366 Annex E) and how AC-3 frames carry bsid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace velmora {

inline constexpr std::size_t kEac3HeaderBytes = 6;

// Both syntaxes carry bsid in the five high bits of byte 5: up to 10 is the AC-3 syntax (9
// and 10 at half and quarter sampling rate), 11 to 16 the E-AC-3 syntax.
[[nodiscard]] int AnyAc3Bsid(std::span<const std::uint8_t> bytes);
[[nodiscard]] bool IsEac3Bsid(int bsid);

struct Eac3Header {
    std::uint16_t syncWord = 0;  // syncword, 0x0B77
    int strmtyp = 0;             // 0 independent, 1 dependent, 2 independent (AC-3 converted)
    int substreamid = 0;         // 0..7
    int frmsiz = 0;              // 16-bit words in the frame minus 1
    int fscod = 0;               // 0..2 48, 44.1, 32 kHz; 3: the reduced rates of fscod2
    int fscod2 = 0;              // with fscod 3: 24, 22.05, 16 kHz (3 reserved)
    int numblkscod = 0;          // 0..3: 1, 2, 3 or 6 audio blocks (6 with fscod 3)
    int acmod = 0;               // channel layout as in AC-3
    int lfeon = 0;               // low-frequency effects channel present
    int bsid = 0;                // 11..16
    int dialnorm = 0;            // dialnorm, 0..31
    std::optional<int> chanmap;  // dependent frames with chanmape: the custom channel map
};

// Missing bytes read as 0.
[[nodiscard]] Eac3Header DecodeEac3Header(std::span<const std::uint8_t> bytes);

[[nodiscard]] std::int32_t Eac3FrameLength(const Eac3Header& header);
[[nodiscard]] std::int32_t Eac3SamplingRate(const Eac3Header& header);
[[nodiscard]] int Eac3Blocks(const Eac3Header& header);

// A frame that starts a correction unit: an independent frame of substream 0. The dependent
// frames and further independent substreams that follow it belong to it.
[[nodiscard]] bool Eac3StartsUnit(const Eac3Header& header);

}  // namespace velmora
