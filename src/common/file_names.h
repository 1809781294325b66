// File names as the program holds them (UTF-8 text) and as the system takes them.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace velmora {

// The program keeps every name as UTF-8. A std::filesystem::path made from plain char text
// would be read in the system's legacy code page on Windows, so names cross over here.
[[nodiscard]] std::filesystem::path PathFromUtf8(std::string_view name);
[[nodiscard]] std::string Utf8FromPath(const std::filesystem::path& path);

// True when something (a file, a folder) exists under the name; false for an empty name.
[[nodiscard]] bool FileExists(const std::string& name);

// Opens a file for reading as bytes ("rb"); nullptr with errno set when it cannot.
[[nodiscard]] std::FILE* OpenForReading(const std::string& name);

}  // namespace velmora
