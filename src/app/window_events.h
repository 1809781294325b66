// The main window's load and close handlers: restoring and storing what the window remembers.
#pragma once

#include "ui/main_view.h"
#include "ui/program_state.h"

namespace velmora {

// Runs while the window is created, before the command line is looked at, so /Silence
// overrides what was stored.
void frm_WinMain_Load(MainView& view, ProgramState& state);

// Runs when the user closes the window, whether or not anything was changed. It never keeps
// the window open, and a file that cannot be written is passed over in silence. A batch run
// stores the check box only: its folder and the window it may never have shown are not what
// the user chose.
void frm_WinMain_Close(const MainView& view, const ProgramState& state);

}  // namespace velmora
