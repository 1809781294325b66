// Start-up and the batch run.
#include "app/start_up.h"

#include <filesystem>

#include "platform/files/file_names.h"

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

StartUpResult StartUp(const StartRequest& request, MainWindow& window, bool hasWindow) {
    switch (request.mode) {
        case StartMode::Interactive:
            window.View().SetVisible(true);
            return {};
        case StartMode::BareName:
            // In a window a missing name is not an error: the analysis of it does nothing and
            // Write stays disabled. Without one, the run would end in silence.
            if (const auto problem = SourceProblem(request.bareName); problem && !hasWindow) {
                ShowPlainMessage(window.View(), *problem);
                return {true, kExitWriteFailed};
            }
            window.View().SetVisible(true);
            window.State().SourceName = request.bareName;
            window.SourceChosen();
            return {};
        case StartMode::Batch:
            return RunBatch(request.batch, window);
        case StartMode::Help:
        case StartMode::Version:
        case StartMode::Files:
            // Answered before any window exists; nothing is left to do here.
            return {true, kExitSuccess};
    }
    return {};
}

StartUpResult RunBatch(const BatchRequest& batch, MainWindow& window) {
    MainView& view = window.View();
    ProgramState& state = window.State();

    // Set for the rest of the run, also when the window stays open afterwards.
    state.BatchMode = true;

    if (!batch.problem.empty()) {
        ShowPlainMessage(view, "Wrong parameters: " + batch.problem + "\r\n" +
                                   std::string(kUsageLine));
        return {true, kExitWrongParameters};
    }
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
    if (const auto problem = SourceProblem(state.SourceName)) {
        ShowPlainMessage(view, *problem);
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
    // Without /Silence and /Nosilence the stored state stands. Either one changes the box for
    // this run only: the run itself stores nothing.
    if (batch.silence) {
        view.SetAddSilentValue(1);
    }
    if (batch.noSilence) {
        view.SetAddSilentValue(0);
    }
    if (batch.repair) {
        view.SetRepairChecked(true);
    }
    if (batch.noRepair) {
        view.SetRepairChecked(false);
    }

    // Called directly, like a press of Write but without the button's rule.
    const WriteRun run = window.cmd_Write_Click();
    const int status = run == WriteRun::Written ? kExitSuccess : kExitWriteFailed;
    return {batch.CloseWhenDone(), status};
}

bool WantsWindow(const StartRequest& request) {
    switch (request.mode) {
        case StartMode::Interactive:
        case StartMode::BareName:
            return true;
        case StartMode::Batch:
            return !request.batch.hidden;
        case StartMode::Help:
        case StartMode::Version:
        case StartMode::Files:
            break;
    }
    return false;
}

}  // namespace velmora
