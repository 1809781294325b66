// A MainView for the start-up tests: keeps the controls' values and writes every change
// into one log, so tests can check the order in which a run touched the window.
#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "ui/main_view.h"

namespace velmora::test {

inline const char* BoxName(TextBox box) {
    static constexpr std::array<const char*, 6> kNames = {"ed_Source",   "ed_Target", "ed_Delay",
                                                          "ed_EndDelay", "ed_Status", "ed_Info"};
    return kNames[static_cast<std::size_t>(box)];
}

class EventLogView : public MainView {
  public:
    std::string Text(TextBox box) const override { return texts[static_cast<std::size_t>(box)]; }
    void SetText(TextBox box, const std::string& text) override {
        texts[static_cast<std::size_t>(box)] = text;
        // The status line changes with every step of a write; it would drown the log.
        if (box != TextBox::ed_Status && box != TextBox::ed_Info) {
            log.push_back(std::string(BoxName(box)) + "=" + text);
        } else if (box == TextBox::ed_Info) {
            log.push_back(text.empty() ? "ed_Info emptied" : "ed_Info set");
        }
    }
    int AddSilentValue() const override { return addSilent; }
    void SetAddSilentValue(int value) override {
        addSilent = value;
        log.push_back("chk_AddSilent=" + std::to_string(value));
    }
    bool RepairChecked() const override { return repair; }
    void SetRepairChecked(bool checked) override {
        repair = checked;
        log.push_back(std::string("chk_Repair=") + (checked ? "1" : "0"));
    }
    bool WriteEnabled() const override { return writeEnabled; }
    void SetWriteEnabled(bool enabled) override { writeEnabled = enabled; }
    void SetProgressMaximum(std::int64_t) override {}
    void SetProgressValue(std::int64_t) override {}
    void SetVisible(bool value) override {
        visible = value;
        log.push_back(value ? "shown" : "hidden");
    }
    int ShowMessage(MessageIcon icon, const std::string& text, const std::string& buttons,
                    int defaultButton) override {
        log.push_back("message " + std::to_string(static_cast<int>(icon)) + " " + buttons + " " +
                      std::to_string(defaultButton) + ": " + text);
        return defaultButton;
    }
    std::optional<std::string> ShowOpenDialog(const FileDialogConfig&) override {
        log.push_back("open dialog");
        return std::nullopt;
    }
    std::optional<std::string> ShowSaveDialog(const FileDialogConfig&) override {
        log.push_back("save dialog");
        return std::nullopt;
    }
    void ProcessPendingEvents() override {
        // A write passes over events with every status change; only the first pass of a
        // run is logged, the one start-up makes before the work.
        if (!sawEvents) {
            log.push_back("events");
        }
        sawEvents = true;
    }
    void SetBusyPointer(bool) override {}

    // Position of the first log entry that starts with the given text, or -1.
    [[nodiscard]] long Find(const std::string& start) const {
        const auto it = std::find_if(log.begin(), log.end(), [&](const std::string& entry) {
            return entry.rfind(start, 0) == 0;
        });
        return it == log.end() ? -1 : static_cast<long>(it - log.begin());
    }
    [[nodiscard]] std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const std::string& entry : log) {
            if (entry.rfind("message ", 0) == 0) {
                messages.push_back(entry);
            }
        }
        return messages;
    }

    std::array<std::string, 6> texts;
    int addSilent = 0;
    bool repair = false;
    bool writeEnabled = false;
    bool visible = false;
    bool sawEvents = false;
    std::vector<std::string> log;
};

}  // namespace velmora::test
