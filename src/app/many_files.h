// The long form's run: every file of the call corrected in turn, one line for each.
#pragma once

#include <ostream>
#include <string>

#include "app/command_line.h"

namespace velmora {

// Each file goes into the name proposed beside it (or in the output folder), with the given
// start delay or the one its name marks, through the same steps as a batch run. All targets
// are known before anything is written: one that is a source of the call or another file's
// target fails that file. 0 when every file was written, 1 when any failed, 2 for a usage
// error or an output folder that cannot be written to, before anything is read. Errors go
// to `err` whatever --quiet says.
[[nodiscard]] int RunFiles(const FilesRequest& request, const std::string& settingsPath,
                           std::ostream& out, std::ostream& err);

}  // namespace velmora
