// Windows only: UTF-8 text as the wide (UTF-16) text the system calls take, and back.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Text that is not valid UTF-8 (or UTF-16) is converted with U+FFFD in place of the bad part.
[[nodiscard]] std::wstring WideFromUtf8(std::string_view text);
[[nodiscard]] std::string Utf8FromWide(std::wstring_view text);

// A name for the file functions: wide, and, when it is too long for the classic limit of 260
// characters, absolute with the "\\?\" prefix that lifts the limit.
[[nodiscard]] std::wstring SystemFileName(const std::string& name);

// The system's words for an error code from GetLastError(), without the final full stop and
// line break, so they fit into the program's own sentences.
[[nodiscard]] std::string SystemErrorText(unsigned long error);

}  // namespace velmora
