// Which front end a start gets: the desktop window, or none when it cannot or need not show.
#pragma once

#include <string>

#include "app/command_line.h"

namespace velmora {

struct FrontEndChoice {
    bool useWindow = false;
    // One line for standard error when a window was wanted but cannot be shown; the run
    // then goes on without one and ends after its work.
    std::string notice;
};

// A hidden batch run never needs a display, so it never uses the window, even where one
// could be shown: the same command then behaves the same on a desktop and on a server.
[[nodiscard]] FrontEndChoice ChooseFrontEnd(const StartRequest& request, bool windowBuilt,
                                            bool displayAvailable);

}  // namespace velmora
