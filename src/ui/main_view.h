// The window as the program's logic sees it: named controls plus the services a desktop
// gives (message boxes, file dialogs, event passes, the busy pointer). The Qt window, the
// headless front end and the tests' fake all implement it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

enum class TextBox { ed_Source, ed_Target, ed_Delay, ed_EndDelay, ed_Status, ed_Info };

enum class MessageIcon { None = 0, Exclamation = 1, Question = 2, Stop = 3 };

// Dialog flags, with the values the original dialogs used.
inline constexpr std::uint32_t OFN_OVERWRITEPROMPT = 0x2;
inline constexpr std::uint32_t OFN_FILEMUSTEXIST = 0x1000;

struct FileDialogConfig {
    std::string initialName;
    // Where the dialog opens when its box names no file yet (empty: where the system likes).
    std::string folder;
    // Pairs of description and pattern, all separated by "|".
    std::string filter;
    // 1-based index into the pairs of filter.
    int selectedFilter = 1;
    std::string title;
    std::uint32_t flags = 0;
};

// frm_WinMain's inside, without the frame, in pixels at the system's standard scale (96 dpi),
// so a size stored on one screen means the same on another.
struct WindowSize {
    int width = 0;
    int height = 0;
    bool operator==(const WindowSize&) const = default;
};

class MainView {
  public:
    virtual ~MainView() = default;

    [[nodiscard]] virtual std::string Text(TextBox box) const = 0;
    virtual void SetText(TextBox box, const std::string& text) = 0;
    // chk_AddSilent: 0 unchecked, 1 checked, 2 greyed.
    [[nodiscard]] virtual int AddSilentValue() const = 0;
    virtual void SetAddSilentValue(int value) = 0;
    // chk_Repair: damaged frames become silence instead of ending the write.
    [[nodiscard]] virtual bool RepairChecked() const = 0;
    virtual void SetRepairChecked(bool checked) = 0;
    // cmd_Write
    [[nodiscard]] virtual bool WriteEnabled() const = 0;
    virtual void SetWriteEnabled(bool enabled) = 0;
    // pro_Status, in source bytes (64-bit: sources may exceed 2 GiB).
    virtual void SetProgressMaximum(std::int64_t maximum) = 0;
    virtual void SetProgressValue(std::int64_t value) = 0;
    // frm_WinMain
    virtual void SetVisible(bool visible) = 0;
    // Nothing for a view without a window. A size is taken only as far as the screen and the
    // controls allow.
    [[nodiscard]] virtual std::optional<WindowSize> Size() const { return std::nullopt; }
    virtual void Resize(WindowSize /*size*/) {}

    // A modal message; buttons are labels separated by "|" ("OK|Cancel"); returns the
    // 1-based number of the button pressed.
    virtual int ShowMessage(MessageIcon icon, const std::string& text, const std::string& buttons,
                            int defaultButton) = 0;
    // The chosen full file name, or nothing when the dialog was cancelled.
    virtual std::optional<std::string> ShowOpenDialog(const FileDialogConfig& config) = 0;
    virtual std::optional<std::string> ShowSaveDialog(const FileDialogConfig& config) = 0;
    virtual void ProcessPendingEvents() = 0;
    virtual void SetBusyPointer(bool busy) = 0;

    // A write runs from WriteStarted to WriteEnded: a window turns Write into Cancel and lets
    // no other click or key through meanwhile (they are dropped, not kept for later). `copied`
    // tells whether every frame reached the target.
    virtual void WriteStarted() {}
    virtual void WriteEnded(bool /*copied*/) {}
    // The finished report of a write, before the files take their names: a front end that
    // prints it (a run without a window) does so now. False when that failed; the view has
    // said why.
    [[nodiscard]] virtual bool PublishReport(const std::string& /*text*/) { return true; }
    // A line for a run without a window to print among its messages; a window shows the
    // report, which says the same.
    virtual void ShowNotice(const std::string& /*text*/) {}
    // True once Cancel was pressed during the write now running.
    [[nodiscard]] virtual bool CancelRequested() { return false; }
};

}  // namespace velmora
