// Start-up: the program's initial state, and what the command line makes the window do.
#pragma once

#include <string>

#include "app/command_line.h"
#include "ui/main_window.h"
#include "ui/program_state.h"

namespace velmora {

// Exit statuses a script can trust.
inline constexpr int kExitSuccess = 0;          // complete write and saved report
inline constexpr int kExitWriteFailed = 1;      // the write failed or was refused
inline constexpr int kExitWrongParameters = 2;  // the usage message was shown

struct StartUpResult {
    // True when the program ends now, without running the window's event loop.
    bool programEnds = false;
    // 0 for interactive starts and bare names; for a batch run, what its write came to.
    int exitStatus = kExitSuccess;
};

// The fresh program-wide state; the settings file lies in the program's own directory.
[[nodiscard]] ProgramState InitGlobals(const std::string& programDirectory);

// Shows the window, chooses a bare name as the source, or runs the batch. `hasWindow` is false
// for the headless front end, where a bare name that does not exist ends the run with 1.
[[nodiscard]] StartUpResult StartUp(const StartRequest& request, MainWindow& window,
                                    bool hasWindow = true);

// The batch run: the boxes are filled from the switches and Write is pressed, through the
// window's own operations only, so a batch does nothing a user could not do by hand.
[[nodiscard]] StartUpResult RunBatch(const BatchRequest& batch, MainWindow& window);

// Whether this start shows the window: everything but a hidden batch run and the answers
// to --help and --version.
[[nodiscard]] bool WantsWindow(const StartRequest& request);

}  // namespace velmora
