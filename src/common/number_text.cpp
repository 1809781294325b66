// Reading numbers from text and writing them back.
#include "common/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace velmora {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

template <typename Int>
Int RoundSaturating(long double value) {
    if (std::isnan(value)) {
        return 0;
    }
    const long double rounded = RoundHalfEven(value);
    if (rounded <= static_cast<long double>(std::numeric_limits<Int>::min())) {
        return std::numeric_limits<Int>::min();
    }
    if (rounded >= static_cast<long double>(std::numeric_limits<Int>::max())) {
        return std::numeric_limits<Int>::max();
    }
    return static_cast<Int>(rounded);
}

}  // namespace

long double ReadLeadingNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // Digits are gathered by hand so that a locale's separators never matter and
    // neither exponents nor hexadecimal forms sneak in.
    long double value = 0.0L;
    bool anyDigit = false;
    while (pos < text.size() && IsDigit(text[pos])) {
        value = value * 10.0L + static_cast<long double>(text[pos] - '0');
        anyDigit = true;
        ++pos;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        long double scale = 0.1L;
        while (pos < text.size() && IsDigit(text[pos])) {
            value += static_cast<long double>(text[pos] - '0') * scale;
            scale /= 10.0L;
            anyDigit = true;
            ++pos;
        }
    }
    if (!anyDigit || !std::isfinite(value)) {
        return anyDigit && negative ? -std::numeric_limits<long double>::max()
               : anyDigit           ? std::numeric_limits<long double>::max()
                                    : 0.0L;
    }
    return negative ? -value : value;
}

long double RoundHalfEven(long double value) {
    if (!std::isfinite(value)) {
        return value;
    }
    const long double lower = std::floor(value);
    const long double fraction = value - lower;
    if (fraction > 0.5L) {
        return lower + 1.0L;
    }
    if (fraction < 0.5L) {
        return lower;
    }
    return std::fmod(lower, 2.0L) == 0.0L ? lower : lower + 1.0L;
}

std::int32_t RoundToInt32(long double value) {
    return RoundSaturating<std::int32_t>(value);
}

std::int64_t RoundToInt64(long double value) {
    return RoundSaturating<std::int64_t>(value);
}

std::int32_t ReadWholeMilliseconds(std::string_view text) {
    return RoundToInt32(ReadLeadingNumber(text));
}

std::optional<std::int32_t> ParseWholeMilliseconds(std::string_view text) {
    // from_chars takes a minus sign but no plus sign; a plus may not precede a minus.
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        if (text.starts_with('-')) {
            return std::nullopt;
        }
    }
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, 10);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::string FrameRateText(float framesPerSecond) {
    // to_chars in fixed notation gives the shortest digits that read back to the same float,
    // independent of the C locale.
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, framesPerSecond, std::chars_format::fixed);
    if (error != std::errc()) {
        return "0";
    }
    return std::string(buffer, end);
}

}  // namespace velmora
