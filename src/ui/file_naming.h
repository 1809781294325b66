// What a source's name tells: its format, a target name to propose, a delay written into it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "formats/file_type.h"

namespace velmora {

// From the last three characters, without regard to case; anything unknown is AC-3.
[[nodiscard]] FileType FileTypeFromExtension(std::string_view name);

[[nodiscard]] std::string ProposeTargetName(const std::string& sourceName, FileType type);

// The start delay marked in the file's own name ("DELAY -40ms", "_delay_957ms_"; the last
// mark counts), or nothing when the name has no mark.
[[nodiscard]] std::optional<std::int32_t> DelayFromFileName(const std::string& sourceName);

}  // namespace velmora
