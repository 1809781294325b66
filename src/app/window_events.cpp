// The main window's load and close handlers.
#include "app/window_events.h"

#include "app/settings.h"

namespace velmora {

void frm_WinMain_Load(MainView& view, ProgramState& state) {
    const Settings stored = LoadSettings(state.SettingsPath);
    view.SetAddSilentValue(stored.addSilentValue);
    view.SetRepairChecked(stored.repair);
    state.LastFolder = stored.lastFolder;
    if (stored.windowSize) {
        view.Resize(*stored.windowSize);
    }
}

void frm_WinMain_Close(const MainView& view, const ProgramState& state) {
    Settings toStore;
    toStore.addSilentValue = view.AddSilentValue();
    toStore.repair = view.RepairChecked();
    if (!state.BatchMode) {
        toStore.lastFolder = state.LastFolder;
        toStore.windowSize = view.Size();
    }
    // Nothing is reported when the file cannot be written; the program ends normally.
    SaveSettings(state.SettingsPath, toStore);
}

}  // namespace velmora
