// Start-up and the batch run.
#include "app/start_up.h"

#include <filesystem>

#include "common/file_names.h"

namespace velmora {

namespace {

void ShowPlainMessage(MainView& view, const std::string& text) {
    view.ShowMessage(MessageIcon::None, text, "OK", 1);
}

}  // namespace

ProgramState InitGlobals(const std::string& programDirectory) {
    ProgramState state;
    // The system's own separator: "\velmora.ini" on Windows, "/velmora.ini" elsewhere.
    constexpr auto kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);
    std::string directory = programDirectory;
    while (!directory.empty() && (directory.back() == '/' || directory.back() == kSeparator)) {
        directory.pop_back();
    }
    state.SettingsPath = directory + kSeparator + "velmora.ini";
    return state;
}

StartUpResult StartUp(const StartRequest& request, MainWindow& window) {
    switch (request.mode) {
        case StartMode::Interactive:
            window.View().SetVisible(true);
            return {};
        case StartMode::BareName:
            // Not tested for existence here: the analysis of a missing file does nothing and
            // Write stays disabled.
            window.View().SetVisible(true);
            window.State().SourceName = request.bareName;
            window.SourceChosen();
            return {};
        case StartMode::Batch:
            return RunBatch(request.batch, window);
    }
    return {};
}

StartUpResult RunBatch(const BatchRequest& batch, MainWindow& window) {
    MainView& view = window.View();
    ProgramState& state = window.State();

    // Set for the rest of the run, also when the window stays open afterwards.
    state.BatchMode = true;

    if (!batch.Complete()) {
        ShowPlainMessage(view, std::string(kUsageMessage));
        return {true, kExitWrongParameters};
    }

    if (!batch.hidden) {
        // Drawn before the work starts.
        view.SetVisible(true);
        view.ProcessPendingEvents();
    }

    state.SourceName = batch.source;
    if (!FileExists(state.SourceName)) {
        ShowPlainMessage(view, "Sourcefile does not exist!");
        return {true, kExitWriteFailed};
    }
    window.SourceChosen();

    // Given names and delays replace what SourceChosen proposed or read from the name.
    state.TargetName = batch.target;
    view.SetText(TextBox::ed_Target, batch.target);
    view.SetText(TextBox::ed_Delay, std::to_string(batch.startDelay));
    if (batch.endDelay) {
        view.SetText(TextBox::ed_EndDelay, std::to_string(*batch.endDelay));
    }
    // Never cleared from the command line: without /Silence the stored state stands.
    if (batch.silence) {
        view.SetAddSilentValue(1);
    }

    // Called directly, like a press of Write but without the button's rule.
    const WriteRun run = window.cmd_Write_Click();
    const int status = run == WriteRun::Written ? kExitSuccess : kExitWriteFailed;
    return {batch.CloseWhenDone(), status};
}

bool WantsWindow(const StartRequest& request) {
    return request.mode != StartMode::Batch || !request.batch.hidden;
}

}  // namespace velmora
