// The command line as Linux and macOS hand it over: an argument vector, read into the same
// request as the raw Windows text, so a batch run does the same steps on every system.
#pragma once

#include <string>
#include <vector>

#include "app/command_line.h"

namespace velmora {

// Reading rules, chosen because every absolute path here holds "/" (substring search would
// read /mnt/target/in.ac3 as a /Target switch):
// - a switch is a whole argument whose name matches without regard to case; a value switch
//   may carry its value after "=" (/Source=x), the flags /Silence, /Close and /Hidden also
//   match as a prefix (/Closed still closes);
// - an argument with a "/" after its first character, "=" and its value aside, is a path,
//   never a switch (/mnt/hidden/a.ac3);
// - a switch's value is the next argument taken whole, blanks kept, with no quote handling,
//   whatever it holds; a switch at the very end has an empty value;
// - the first occurrence of a switch counts; arguments that are neither switches nor values
//   are ignored, as text between switches is in the raw form;
// - no arguments: interactive; exactly one argument that is not a switch: a bare source
//   name ("Open with" in a file manager); anything else is a batch run, so several bare
//   names end with the usage message.
// A file directly in the root folder named like a switch (/close) reads as the switch; written
// as //close or /./close it is a path.
[[nodiscard]] StartRequest ReadArguments(const std::vector<std::string>& arguments);

// argv as main receives it, the program's own name first.
[[nodiscard]] StartRequest ReadArgv(int argc, const char* const* argv);

}  // namespace velmora
