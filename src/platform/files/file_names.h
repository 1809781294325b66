// File names as the program holds them (UTF-8 text) and as the system takes them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The program keeps every name as UTF-8. A std::filesystem::path made from plain char text
// would be read in the system's legacy code page on Windows, so names cross over here.
[[nodiscard]] std::filesystem::path PathFromUtf8(std::string_view name);
[[nodiscard]] std::string Utf8FromPath(const std::filesystem::path& path);

// True when something (a file, a folder) exists under the name; false for an empty name.
[[nodiscard]] bool FileExists(const std::string& name);

// Why a source cannot be used, in the words the user sees ("Source file "x" does not exist."
// only when nothing stands under the name; otherwise the system's reason); empty when it can
// be read. Nothing is opened: a pipe must not wait here for a writer.
[[nodiscard]] std::optional<std::string> SourceProblem(const std::string& name);

}  // namespace velmora
