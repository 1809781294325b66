// Finding the program's own folder.
#include "platform/program_directory.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace velmora {

namespace fs = std::filesystem;

namespace {

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace

std::string ProgramDirectoryFromArgv0(std::string_view argv0, const std::string& currentDirectory) {
    const std::size_t slash = argv0.rfind('/');
    if (slash == std::string_view::npos) {
        return WithoutTrailingSeparator(currentDirectory);
    }
    fs::path folder(argv0.substr(0, slash == 0 ? 1 : slash));
    if (folder.is_relative()) {
        folder = fs::path(currentDirectory) / folder;
    }
    return WithoutTrailingSeparator(folder.lexically_normal().string());
}

std::string ProgramDirectory(const char* argv0) {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error && self.is_absolute()) {
        return WithoutTrailingSeparator(self.parent_path().string());
    }
    const fs::path current = fs::current_path(error);
    return ProgramDirectoryFromArgv0(argv0 != nullptr ? argv0 : "",
                                     error ? fs::path(".").string() : current.string());
}

std::string ChooseSettingsFile(const std::string& besideProgram, bool besideExists,
                               const char* xdgConfigHome, const char* home) {
    if (besideExists) {
        return besideProgram;
    }
    const auto absolute = [](const char* folder) {
        return folder != nullptr && folder[0] == '/';
    };
    fs::path base;
    if (absolute(xdgConfigHome)) {
        base = xdgConfigHome;
    } else if (absolute(home)) {
        base = fs::path(home) / ".config";
    } else {
        return besideProgram;
    }
    return (base / "velmora" / "velmora.ini").lexically_normal().string();
}

std::string LocateSettingsFile(const std::string& besideProgram) {
#ifdef __linux__
    std::error_code error;
    const bool besideExists = fs::exists(besideProgram, error);
    return ChooseSettingsFile(besideProgram, besideExists, std::getenv("XDG_CONFIG_HOME"),
                              std::getenv("HOME"));
#else
    return besideProgram;
#endif
}

}  // namespace velmora
