// Loads the desktop window only when a run shows one, so that batch runs never map the
// window toolkit's libraries (they would triple the program's resident memory).
#pragma once

#include <memory>
#include <string>

#include "platform/front_end.h"

namespace velmora {

// The file the window lives in, looked for beside the program and in ../lib/velmora.
inline constexpr const char* kWindowModuleName = "velmora-qt.so";

// The name of the entry function the module exports (C linkage):
//   velmora::FrontEnd* velmora_make_window_front_end(int* argc, char** argv);
inline constexpr const char* kWindowModuleEntry = "velmora_make_window_front_end";

// The module's full name when one of the candidate places holds it; empty otherwise.
[[nodiscard]] std::string FindWindowModule(const std::string& programDirectory);

struct LoadedWindow {
    std::unique_ptr<FrontEnd> frontEnd;
    // Why there is no front end, for one line on standard error.
    std::string error;
};

// Loads the module and creates the hidden window. The module stays loaded for the rest of
// the run, since the window's code lives in it.
[[nodiscard]] LoadedWindow LoadWindowModule(const std::string& moduleName, int& argc, char** argv);

}  // namespace velmora
