// The start-up sequence once the command line is read and the front end is there: the same
// steps for the Linux program and both Windows programs.
#pragma once

#include "app/command_line.h"
#include "platform/front_end.h"
#include "ui/program_state.h"

namespace velmora {

// Restores the check box, runs start-up and, when the run does not end there, the window's
// event loop. Returns the exit status: a batch run's outcome (also when its window stayed
// open afterwards), 0 for other starts, 1 when the report never reached standard output.
[[nodiscard]] int RunProgram(ProgramState& state, const StartRequest& request, FrontEnd& frontEnd);

}  // namespace velmora
