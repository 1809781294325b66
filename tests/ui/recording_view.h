// A MainView for tests: keeps the controls' values, answers dialogs and message boxes from
// a script, and records what the window was asked to do.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/main_view.h"

namespace velmora::test {

struct ShownMessage {
    MessageIcon icon;
    std::string text;
    std::string buttons;
    int defaultButton;
};

class RecordingView : public MainView {
  public:
    std::string Text(TextBox box) const override {
        const auto it = texts.find(box);
        return it == texts.end() ? std::string() : it->second;
    }
    void SetText(TextBox box, const std::string& text) override {
        texts[box] = text;
        if (box == TextBox::ed_Status) {
            statuses.push_back(text);
        }
    }
    int AddSilentValue() const override { return addSilent; }
    void SetAddSilentValue(int value) override { addSilent = value; }
    bool RepairChecked() const override { return repair; }
    void SetRepairChecked(bool checked) override { repair = checked; }
    bool WriteEnabled() const override { return writeEnabled; }
    void SetWriteEnabled(bool enabled) override { writeEnabled = enabled; }
    void SetProgressMaximum(std::int64_t maximum) override { progressMaximum = maximum; }
    void SetProgressValue(std::int64_t value) override { progressValue = value; }
    void SetVisible(bool value) override { visible = value; }
    std::optional<WindowSize> Size() const override { return size; }
    void Resize(WindowSize value) override { size = value; }
    int ShowMessage(MessageIcon icon, const std::string& text, const std::string& buttons,
                    int defaultButton) override {
        messages.push_back({icon, text, buttons, defaultButton});
        if (messageAnswers.empty()) {
            return defaultButton;
        }
        const int answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    std::optional<std::string> ShowOpenDialog(const FileDialogConfig& config) override {
        openDialogs.push_back(config);
        return dialogAnswer;
    }
    std::optional<std::string> ShowSaveDialog(const FileDialogConfig& config) override {
        saveDialogs.push_back(config);
        return dialogAnswer;
    }
    void ProcessPendingEvents() override { ++eventPasses; }
    void SetBusyPointer(bool busy) override { busyPointer = busy; }

    std::map<TextBox, std::string> texts;
    std::vector<std::string> statuses;
    int addSilent = 1;
    bool repair = false;
    bool writeEnabled = false;
    std::int64_t progressMaximum = 0;
    std::int64_t progressValue = 0;
    bool visible = false;
    std::optional<WindowSize> size;
    bool busyPointer = false;
    int eventPasses = 0;
    std::vector<ShownMessage> messages;
    std::deque<int> messageAnswers;
    std::vector<FileDialogConfig> openDialogs;
    std::vector<FileDialogConfig> saveDialogs;
    std::optional<std::string> dialogAnswer;
};

}  // namespace velmora::test
