// The main window's load and close handlers.
#include "app/window_events.h"

#include "app/settings.h"

namespace velmora {

void frm_WinMain_Load(MainView& view, const std::string& settingsPath) {
    view.SetAddSilentValue(LoadSettings(settingsPath));
}

void frm_WinMain_Close(const MainView& view, const std::string& settingsPath) {
    // Nothing is reported when the file cannot be written; the program ends normally.
    SaveSettings(settingsPath, view.AddSilentValue());
}

}  // namespace velmora
