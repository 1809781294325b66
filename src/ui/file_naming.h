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

// Where a name marks its start delay: the delay and the characters that give it ("-66ms",
// "957ms", "-356 ms"), counted in the whole name.
struct DelayMark {
    std::int32_t delay = 0;
    std::size_t at = 0;
    std::size_t length = 0;
};

// The last mark in the file's own name (not its folders), if any.
[[nodiscard]] std::optional<DelayMark> FindDelayMark(const std::string& sourceName);

// The name with its mark's value replaced: "film DELAY -100ms.ac3" and -4 give
// "film DELAY -4ms.ac3".
[[nodiscard]] std::string NameWithDelay(const std::string& sourceName, const DelayMark& mark,
                                        std::int64_t delayMs);

// The start delay marked in the file's own name ("DELAY -40ms", "_delay_957ms_"; the last
// mark counts), or nothing when the name has no mark.
[[nodiscard]] std::optional<std::int32_t> DelayFromFileName(const std::string& sourceName);

}  // namespace velmora
