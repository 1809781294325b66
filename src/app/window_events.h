// The main window's load and close handlers: restoring and storing the silence check box.
#pragma once

#include <string>

#include "ui/main_view.h"

namespace velmora {

// Runs while the window is created, before the command line is looked at, so /Silence
// overrides what was stored.
void frm_WinMain_Load(MainView& view, const std::string& settingsPath);

// Runs when the user closes the window, whether or not the box was changed. It never keeps
// the window open, and a file that cannot be written is passed over in silence.
void frm_WinMain_Close(const MainView& view, const std::string& settingsPath);

}  // namespace velmora
