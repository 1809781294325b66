// Reading numbers from text and writing them back, the same way everywhere in the program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The leading decimal number of a text: blanks, optional sign, digits, optional fraction.
// Reading stops at the first character that cannot continue the number; no number reads 0.
[[nodiscard]] long double ReadLeadingNumber(std::string_view text);

// Nearest whole number, an exact half going to the even neighbour.
[[nodiscard]] long double RoundHalfEven(long double value);

// RoundHalfEven, then clamped into the range of the result type so that huge or
// non-finite values saturate instead of wrapping.
[[nodiscard]] std::int32_t RoundToInt32(long double value);
[[nodiscard]] std::int64_t RoundToInt64(long double value);

// A typed or passed delay: its leading number made a whole number of milliseconds.
[[nodiscard]] std::int32_t ReadWholeMilliseconds(std::string_view text);

// A delay given as an argument of its own, read strictly: an optional sign and decimal
// digits, nothing else, within the 32-bit range. Anything else gives nothing, so that a
// mistyped value is refused instead of being read as some other delay.
[[nodiscard]] std::optional<std::int32_t> ParseWholeMilliseconds(std::string_view text);

// Frame rates as the reports show them: "31.25" for exact values, otherwise the shortest
// decimal that reads back to the same single-precision value ("20.833334"). Never an
// exponent, never a thousands separator, always "." whatever the locale.
[[nodiscard]] std::string FrameRateText(float framesPerSecond);

}  // namespace velmora
