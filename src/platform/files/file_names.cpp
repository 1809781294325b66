// File names as the program holds them (UTF-8 text) and as the system takes them.
#include "platform/files/file_names.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace velmora {

std::filesystem::path PathFromUtf8(std::string_view name) {
    // char8_t text is UTF-8 by definition, on every system.
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(name.data()), name.size()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

bool FileExists(const std::string& name) {
    std::error_code ignored;
    return !name.empty() && std::filesystem::exists(PathFromUtf8(name), ignored);
}

std::optional<std::string> SourceProblem(const std::string& name) {
#ifdef _WIN32
    const int readable = name.empty() ? -1 : ::_waccess(PathFromUtf8(name).c_str(), 4);
#else
    // The effective user decides, as it does for the open that follows.
    const int readable = name.empty() ? -1 : ::faccessat(AT_FDCWD, name.c_str(), R_OK, AT_EACCESS);
#endif
    if (readable == 0) {
        return std::nullopt;
    }
    const std::string quoted = "Source file \"" + name + "\" ";
    if (name.empty() || errno == ENOENT) {
        return quoted + "does not exist.";
    }
    return quoted + "cannot be read: " + std::strerror(errno) + ".";
}

}  // namespace velmora
