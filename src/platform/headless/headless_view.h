// The window's controls kept in memory, for runs without a display.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "platform/headless/terminal_progress.h"
#include "ui/main_view.h"

namespace velmora {

// Nobody can answer a box or pick a file here: each message box becomes one line on the
// message stream and takes its default button, and every file dialog counts as cancelled.
// Events and the mouse pointer mean nothing without a screen and are ignored.
class HeadlessView final : public MainView {
  public:
    // `progressOnTerminal`: the message stream is a terminal, where a write shows its
    // progress as one line.
    explicit HeadlessView(std::ostream& messages, bool progressOnTerminal = false,
                          std::string progressLabel = "")
        : messages_(messages),
          progress_(messages, progressOnTerminal, std::move(progressLabel)) {}

    [[nodiscard]] std::string Text(TextBox box) const override;
    void SetText(TextBox box, const std::string& text) override;
    [[nodiscard]] int AddSilentValue() const override { return addSilent_; }
    void SetAddSilentValue(int value) override { addSilent_ = value; }
    [[nodiscard]] bool RepairChecked() const override { return repair_; }
    void SetRepairChecked(bool checked) override { repair_ = checked; }
    [[nodiscard]] bool WriteEnabled() const override { return writeEnabled_; }
    void SetWriteEnabled(bool enabled) override { writeEnabled_ = enabled; }
    void SetProgressMaximum(std::int64_t maximum) override {
        progressMaximum_ = maximum;
        progress_.Start(maximum);
    }
    void SetProgressValue(std::int64_t value) override {
        progressValue_ = value;
        progress_.Update(value);
    }
    void SetVisible(bool visible) override { visible_ = visible; }

    int ShowMessage(MessageIcon icon, const std::string& text, const std::string& buttons,
                    int defaultButton) override;
    std::optional<std::string> ShowOpenDialog(const FileDialogConfig& config) override;
    std::optional<std::string> ShowSaveDialog(const FileDialogConfig& config) override;
    void ProcessPendingEvents() override {}
    void SetBusyPointer(bool /*busy*/) override {}
    void WriteEnded(bool copied) override { progress_.Finish(copied); }
    // A write's report goes to the report stream, if there is one, before its files take
    // their names.
    [[nodiscard]] bool PublishReport(const std::string& text) override;
    void ShowNotice(const std::string& text) override;

    // Where the information text is printed; none by default.
    void PrintReportsTo(std::ostream& out) { report_ = &out; }
    // Prints what the information box holds at the end of the run, unless a write printed
    // its report already. False when printing failed (now or then).
    [[nodiscard]] bool PrintInformation();

    // What a window would show, for the front end and for tests.
    [[nodiscard]] bool Visible() const { return visible_; }
    [[nodiscard]] std::int64_t ProgressMaximum() const { return progressMaximum_; }
    [[nodiscard]] std::int64_t ProgressValue() const { return progressValue_; }

  private:
    bool Print(const std::string& text);

    std::ostream& messages_;
    std::ostream* report_ = nullptr;
    bool printed_ = false;
    bool printFailed_ = false;
    TerminalProgress progress_;
    std::array<std::string, 6> texts_;
    int addSilent_ = 0;
    bool repair_ = false;
    bool writeEnabled_ = false;
    std::int64_t progressMaximum_ = 0;
    std::int64_t progressValue_ = 0;
    bool visible_ = false;
};

// A message box as one line: the text with its line breaks turned into blanks, and, when
// there was a choice, the button taken. "velmora: " in front, as terminal tools do.
[[nodiscard]] std::string MessageLine(const std::string& text, const std::string& buttons,
                                      int defaultButton);

// The 1-based button a box without a user answers with: its default, or the first button
// when the default names none of them.
[[nodiscard]] int DefaultAnswer(const std::string& buttons, int defaultButton);

// The information text for a terminal: "\r\n" line ends become "\n", and a last line
// without an end gets one, so the shell prompt starts on a line of its own. The report file
// itself keeps its "\r\n".
[[nodiscard]] std::string TerminalText(const std::string& infoText);

}  // namespace velmora
