// frm_WinMain as a Win32 window: real system controls, the platform services and the
// handlers, behind the same MainView as the Qt window.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ui/main_view.h"
#include "ui/main_window.h"

// The system's handle types, declared as <windows.h> does, so this header needs none of it.
struct HWND__;
struct HFONT__;
struct HDROP__;
struct tagMINMAXINFO;

namespace velmora {

class Win32MainView final : public MainView {
  public:
    // Created hidden; start-up decides when the window shows.
    Win32MainView();
    ~Win32MainView() override;
    Win32MainView(const Win32MainView&) = delete;
    Win32MainView& operator=(const Win32MainView&) = delete;

    // Before this, the buttons and a dropped file do nothing.
    void Attach(MainWindow& logic, std::function<void()> onClose);

    [[nodiscard]] std::string Text(TextBox box) const override;
    void SetText(TextBox box, const std::string& text) override;
    [[nodiscard]] int AddSilentValue() const override;
    void SetAddSilentValue(int value) override;
    [[nodiscard]] bool RepairChecked() const override;
    void SetRepairChecked(bool checked) override;
    [[nodiscard]] bool WriteEnabled() const override;
    void SetWriteEnabled(bool enabled) override;
    void SetProgressMaximum(std::int64_t maximum) override;
    void SetProgressValue(std::int64_t value) override;
    void SetVisible(bool visible) override;
    [[nodiscard]] std::optional<WindowSize> Size() const override;
    void Resize(WindowSize size) override;
    int ShowMessage(MessageIcon icon, const std::string& text, const std::string& buttons,
                    int defaultButton) override;
    std::optional<std::string> ShowOpenDialog(const FileDialogConfig& config) override;
    std::optional<std::string> ShowSaveDialog(const FileDialogConfig& config) override;
    void ProcessPendingEvents() override;
    void SetBusyPointer(bool busy) override;

    // Runs the window's messages until it is destroyed; returns at once when a close asked
    // for during a batch write has already ended it.
    void RunMessageLoop();

    // The window's handle, for the message loop and for tests.
    [[nodiscard]] HWND__* Handle() const { return window_; }

    // The window procedure's work; public only so that the procedure can reach it.
    std::intptr_t HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

  private:
    void OnCommand(int control, unsigned notification);
    void OnDropFiles(HDROP__* drop);
    void SetLeastSize(tagMINMAXINFO& limits) const;
    void CreateControls();
    void ApplyDpi(unsigned dpi);
    void Layout();
    // Runs one piece of the logic, unless another is still running (a write lets the window
    // repaint, and a drop can arrive meanwhile); afterwards the pointer is always restored.
    void RunOperation(const std::function<void()>& operation);
    // Carries out a close that arrived while an operation was running.
    void CloseIfAsked();
    void Close();
    void ShowProgress();
    [[nodiscard]] HWND__* Owner() const;

    MainWindow* logic_ = nullptr;
    std::function<void()> onClose_;
    int operationDepth_ = 0;
    bool closeAsked_ = false;
    int busy_ = 0;
    std::int64_t progressMaximum_ = 0;
    std::int64_t progressValue_ = 0;
    unsigned dpi_ = 96;

    HWND__* window_ = nullptr;
    HFONT__* font_ = nullptr;
    HFONT__* fixedFont_ = nullptr;
    // A one-line edit box just high enough for a line of text in its border.
    int editHeight_ = 0;
    // Indexed by the Control numbers of the .cpp file.
    std::array<HWND__*, 22> controls_{};
};

}  // namespace velmora
