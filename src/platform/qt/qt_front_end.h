// The Qt desktop front end: the application object and the window, created hidden.
#pragma once

#include <memory>

#include "platform/front_end.h"

namespace velmora {

// Creates the QApplication (or takes the one that exists) and frm_WinMain, hidden. The
// caller has made sure that there is a display (platform/display.h). The program's
// arguments are left to the program: Qt sees only the program name, so no file name is ever
// taken for a Qt option.
[[nodiscard]] std::unique_ptr<FrontEnd> MakeQtFrontEnd(int& argc, char** argv);

}  // namespace velmora
