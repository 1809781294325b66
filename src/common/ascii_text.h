// Letter case for the ASCII texts the program compares: extensions, switches.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The text with a-z made A-Z; every other byte, UTF-8 included, is left as it is, so that
// the locale never changes a comparison.
[[nodiscard]] std::string AsciiUpperCase(std::string_view text);

}  // namespace velmora
