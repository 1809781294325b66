// The command line as Linux and macOS hand it over: an argument vector, read into the same
// request as the raw Windows text, so a batch run does the same steps on every system.
#pragma once

#include <string>
#include <vector>

#include "app/command_line.h"

namespace velmora {

// Reading rules, chosen because every absolute path here holds "/" (substring search would
// read /mnt/target/in.ac3 as a /Target switch), and strict, because a batch run that reads a
// mistake as something else writes the wrong file with exit status 0:
// - --help or -h anywhere asks for the usage text, --version for the version; nothing else
//   is read then;
// - a switch is a whole argument whose name matches without regard to case; a value switch
//   may carry its value after "=" (/Source=x);
// - an argument with a "/" after its first character, "=" and its value aside, is a path,
//   never a switch (/mnt/hidden/a.ac3); an argument outside a value that starts with "/" and
//   is no switch name and no existing file is an error (a misspelt switch);
// - a switch's value is the next argument taken whole, blanks kept, with no quote handling,
//   unless that argument is itself a switch; a missing or empty value is an error;
// - a delay is an optionally signed whole number of milliseconds, nothing else;
// - a switch given twice, a flag given a value, /Silence with /Nosilence and /Repair with
//   /Norepair are errors;
// - any other argument (a stray word or file name) is an error;
// - no arguments: interactive; exactly one argument that is not a switch: a bare source
//   name ("Open with" in a file manager); anything else is a batch run, so several bare
//   names end with the usage message.
// The first error found is kept in the batch request's `problem`.
// A file directly in the root folder named like a switch (/close) reads as the switch; written
// as //close or /./close it is a path.
[[nodiscard]] StartRequest ReadArguments(const std::vector<std::string>& arguments);

// argv as main receives it, the program's own name first.
[[nodiscard]] StartRequest ReadArgv(int argc, const char* const* argv);

}  // namespace velmora
