// Where the running program lies, for the settings file beside it.
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

}  // namespace velmora
