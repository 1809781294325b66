// The window's behaviour: choosing source and target, the Write button rule, the Write operation.
#include "ui/main_window.h"

#include <filesystem>
#include <system_error>

#include "analysis/analyse_source.h"
#include "common/number_text.h"
#include "correction/damage_preview.h"
#include "formats/format_table.h"
#include "platform/files/file_names.h"
#include "silence/silent_frames.h"
#include "ui/file_naming.h"
#include "ui/view_write_observer.h"

namespace velmora {

namespace {

// "AC3-Files|*.AC3;*.EAC3;*.EC3|...|All known files|<every pattern>", and the number of
// its last pair, which the dialogs select.
struct DialogFilter {
    std::string text;
    int allKnown = 1;
};

DialogFilter FilterOf(bool forTarget) {
    DialogFilter filter;
    std::string every;
    for (const FormatRow& format : Formats()) {
        if (forTarget && !format.inTargetFilter) {
            continue;
        }
        filter.text += std::string(format.filterName) + "|" + std::string(format.filterPatterns) + "|";
        every += (every.empty() ? "" : ";") + std::string(format.filterPatterns);
        ++filter.allKnown;
    }
    filter.text += "All known files|" + every;
    return filter;
}

FileDialogConfig SourceDialog(const std::string& folder) {
    const DialogFilter filter = FilterOf(false);
    return FileDialogConfig{
        .initialName = "test.file",
        .folder = folder,
        .filter = filter.text,
        .selectedFilter = filter.allKnown,
        .title = "Open Source File",
        .flags = OFN_FILEMUSTEXIST,
    };
}

FileDialogConfig TargetDialog(const std::string& folder) {
    const DialogFilter filter = FilterOf(true);
    return FileDialogConfig{
        .initialName = "test.file",
        .folder = folder,
        .filter = filter.text,
        .selectedFilter = filter.allKnown,
        .title = "Open Target File",
        .flags = OFN_OVERWRITEPROMPT,
    };
}

// Whole, so the next run's dialog opens there whatever its current folder.
std::string FolderOf(const std::string& name) {
    std::error_code error;
    const std::filesystem::path whole = std::filesystem::absolute(PathFromUtf8(name), error);
    return error ? std::string() : Utf8FromPath(whole.parent_path());
}

}  // namespace

// A cancelled dialog changes nothing: what was chosen before, and what the boxes show, stay.
void MainWindow::cmd_Source_Click() {
    if (const auto chosen = view_.ShowOpenDialog(SourceDialog(state_.LastFolder))) {
        state_.SourceName = *chosen;
        SourceChosen();
    }
}

void MainWindow::cmd_Target_Click() {
    if (const auto chosen = view_.ShowSaveDialog(TargetDialog(state_.LastFolder))) {
        state_.TargetName = *chosen;
        state_.LastFolder = FolderOf(*chosen);
        view_.SetText(TextBox::ed_Target, state_.TargetName);
        UpdateWriteButton();
    }
}

void MainWindow::SourceTyped(const std::string& typed) {
    if (typed.empty() || typed == state_.SourceName) {
        return;
    }
    // Said at once, not first at Write; the source chosen before stays chosen.
    if (const auto problem = SourceProblem(typed)) {
        view_.SetText(TextBox::ed_Status, *problem);
        return;
    }
    // A folder is no source; the box may still be on its way to a file's name.
    std::error_code ignored;
    if (std::filesystem::is_regular_file(PathFromUtf8(typed), ignored)) {
        state_.SourceName = typed;
        SourceChosen();
    }
}

void MainWindow::SourceChosen() {
    if (state_.SourceName.empty()) {
        UpdateWriteButton();
        return;
    }
    view_.SetText(TextBox::ed_Source, state_.SourceName);
    // However it came (dialog, typed, dropped, named at start), the next dialog opens there.
    state_.LastFolder = FolderOf(state_.SourceName);
    state_.fileType = FileTypeFromExtension(state_.SourceName);
    state_.TargetName = ProposeTargetName(state_.SourceName, state_.fileType);
    if (const auto delay = DelayFromFileName(state_.SourceName)) {
        view_.SetText(TextBox::ed_Delay, std::to_string(*delay));
    }
    view_.SetText(TextBox::ed_Target, state_.TargetName);
    Analyse();
    UpdateWriteButton();
}

void MainWindow::UpdateWriteButton() {
    const bool enabled = state_.TargetName != state_.SourceName && !state_.TargetName.empty() &&
                         FileExists(state_.SourceName) && state_.streamInfo.FrameLength > 0;
    view_.SetWriteEnabled(enabled);
}

void MainWindow::Analyse() {
    SourceAnalysis analysis = AnalyseSource(state_.SourceName, state_.fileType);
    state_.streamInfo = std::move(analysis.info);
    if (analysis.report) {
        // Damage near the start is named before Write, as the writer's reader sees it.
        view_.SetText(TextBox::ed_Info, *analysis.report + DamageNearTheStart(state_.SourceName,
                                                                            state_.streamInfo,
                                                                            state_.fileType));
    }
    // The check box is read now, so changing it after choosing the source counts at Write.
    LoadSilentFrame(state_.streamInfo, state_.fileType, view_.AddSilentValue());
}

WriteRun MainWindow::cmd_Write_Click() {
    // Whatever the boxes hold now counts, names typed by hand included.
    state_.SourceName = view_.Text(TextBox::ed_Source);
    state_.TargetName = view_.Text(TextBox::ed_Target);
    state_.fileType = FileTypeFromExtension(state_.SourceName);

    if (const auto problem = SourceProblem(state_.SourceName)) {
        view_.ShowMessage(MessageIcon::Stop, *problem, "OK", 1);
        return WriteRun::SourceMissing;
    }
    if (!state_.BatchMode && FileExists(state_.TargetName)) {
        const int answer = view_.ShowMessage(MessageIcon::Exclamation,
                                             "Target already exist. Overwrite?", "OK|Cancel", 1);
        if (answer != 1) {
            return WriteRun::Cancelled;
        }
    }

    view_.SetText(TextBox::ed_Info, "");
    Analyse();

    const WriteRequest request{
        .sourceName = state_.SourceName,
        .targetName = state_.TargetName,
        .fileType = state_.fileType,
        // The boxes' texts are read as numbers here, once; the correction takes milliseconds.
        .startDelayMs = ReadWholeMilliseconds(view_.Text(TextBox::ed_Delay)),
        .endDelayMs = ReadWholeMilliseconds(view_.Text(TextBox::ed_EndDelay)),
        .repair = view_.RepairChecked(),
    };
    ViewWriteObserver observer(view_);
    view_.WriteStarted();
    const WriteResult result = WriteTarget(request, state_.streamInfo, observer);
    view_.WriteEnded(result.outcome == WriteOutcome::Complete);
    return Told(result);
}

WriteRun MainWindow::Told(const WriteResult& result) {
    switch (result.outcome) {
        case WriteOutcome::Complete:
            // The report went under another name: the message says which, and why.
            if (result.reportRenamed) {
                view_.ShowMessage(MessageIcon::Exclamation, result.message, "OK", 1);
            }
            return WriteRun::Written;
        case WriteOutcome::SourceDamaged:
            // Begins with "Source file damaged." and says what became of the target.
            view_.ShowMessage(MessageIcon::Question, result.message, "OK", 1);
            return WriteRun::Failed;
        case WriteOutcome::Cancelled:
            // The user asked for it; the status line says what became of the target.
            view_.SetText(TextBox::ed_Status, result.message);
            return WriteRun::Cancelled;
        case WriteOutcome::NoUsableHeader:
        case WriteOutcome::TargetIsSource:
        case WriteOutcome::TooMuchToAdd:
        case WriteOutcome::NothingToWrite:
        case WriteOutcome::TargetBusy:
        case WriteOutcome::ReadFailed:
        case WriteOutcome::WriteFailed:
        case WriteOutcome::ReportFailed:
            break;
    }
    // A report that could not be delivered has been told by the view itself.
    if (!result.message.empty()) {
        view_.ShowMessage(MessageIcon::Stop, result.message, "OK", 1);
    }
    return WriteRun::Failed;
}

}  // namespace velmora
