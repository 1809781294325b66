// Where the running program lies, and where its settings file lies.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The folder of the program file, without a trailing separator: /proc/self/exe where the
// system has it (it names the file itself, wherever the program was started from),
// otherwise what argv[0] says.
[[nodiscard]] std::string ProgramDirectory(const char* argv0);

// The fallback: argv[0]'s folder made absolute against currentDirectory, or currentDirectory
// itself when argv[0] names no folder (a program found through PATH, or none given).
[[nodiscard]] std::string ProgramDirectoryFromArgv0(std::string_view argv0,
                                                    const std::string& currentDirectory);

// Where velmora.ini lies. A file beside the program wins when it exists, so a portable copy
// keeps working as it always has; otherwise, on Linux, the user's configuration folder,
// because an installed program's own folder (/usr/bin) is not the user's to write.
[[nodiscard]] std::string LocateSettingsFile(const std::string& besideProgram);

// The choice itself: besideProgram when besideExists; else $XDG_CONFIG_HOME/velmora/velmora.ini,
// where an unset, empty or relative XDG_CONFIG_HOME means $HOME/.config as the XDG base
// directory rules say; besideProgram again when neither gives an absolute folder. Null
// pointers stand for unset variables.
[[nodiscard]] std::string ChooseSettingsFile(const std::string& besideProgram, bool besideExists,
                                             const char* xdgConfigHome, const char* home);

}  // namespace velmora
