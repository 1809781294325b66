// Size of an AC-3 sync frame from its sample rate and frame size codes (A/52 Table 5.18).
#pragma once

#include <cstdint>
#include <optional>

namespace velmora {

// 16-bit words per sync frame for fscod 0..2 (48, 44.1, 32 kHz) and frmsizecod 0..37;
// nothing for the reserved fscod 3 and for codes 38 and above.
[[nodiscard]] std::optional<int> Ac3FrameWords(int fscod, int frmsizecod);

// Nominal bit rate in kbit/s for frmsizecod 0..37; nothing otherwise.
[[nodiscard]] std::optional<int> Ac3NominalBitRate(int frmsizecod);

}  // namespace velmora
