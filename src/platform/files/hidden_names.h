// Names of the files Velmora keeps beside a target while it writes: the unfinished target and
// the lock. They start with a dot and carry the target's name, so a leftover is recognisable.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// `name` cut to at most `bytes` bytes without splitting a UTF-8 character.
[[nodiscard]] std::string ShortenedName(const std::string& name, std::size_t bytes);

// "<folder>.<file name, shortened><suffix>": room is left in a name of 255 bytes (or 255
// UTF-16 units) for the marks added around the target's own name.
[[nodiscard]] std::string HiddenName(const std::string& folder, const std::string& fileName,
                                     const std::string& suffix);

// kUnfinishedMark followed by six random letters drawn from `letters` (lower case only
// where names ignore case, so two draws cannot name one file).
[[nodiscard]] std::string UnfinishedSuffix(std::string_view letters);

}  // namespace velmora
