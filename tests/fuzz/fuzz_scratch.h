// What the fuzz targets share: a private scratch folder, whole-file I/O and a hard check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace velmora::fuzz {

// This process's own empty folder under the temporary directory, made on first use and
// removed when the process ends normally. Two fuzzers running side by side never share one.
[[nodiscard]] const std::filesystem::path& ScratchFolder();

// Removes everything inside the scratch folder, so no input sees files of the one before.
void ClearScratchFolder();

// Writes the bytes as the whole file, replacing it; false when that failed.
[[nodiscard]] bool WriteBytes(const std::filesystem::path& path, const std::uint8_t* data,
                              std::size_t size);

// The whole file, or nothing when it cannot be read.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> ReadBytes(const std::filesystem::path& path);

// A property every input must keep. A broken one prints what was expected and aborts, which
// libFuzzer reports as a crash and keeps the input for.
void Require(bool holds, const char* what);

}  // namespace velmora::fuzz
