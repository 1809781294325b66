// What --help and --version print: answered before any window or file is touched.
#pragma once

#include <ostream>
#include <string>

#include "app/command_line.h"

namespace velmora {

// The usage text: every switch, the exit statuses, where the setting lives, an example.
[[nodiscard]] std::string HelpText();

// "velmora <version>" and one line.
[[nodiscard]] std::string VersionText();

// Prints the help or the version text for those start modes; 0 when it reached `out`, 1
// when it could not be written (a script must see a lost answer too).
[[nodiscard]] int PrintProgramInformation(StartMode mode, std::ostream& out);

}  // namespace velmora
