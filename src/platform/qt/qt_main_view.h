// frm_WinMain as a Qt widget: the named controls, the platform services and the handlers.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/qt/busy_pointer.h"
#include "ui/main_view.h"
#include "ui/main_window.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

class QGroupBox;

namespace velmora {

class AddSilentCheckBox;

class QtMainView final : public QWidget, public MainView {
  public:
    // Created hidden; start-up decides when the window shows.
    explicit QtMainView(QWidget* parent = nullptr);
    ~QtMainView() override;

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
    void WriteStarted() override;
    void WriteEnded(bool copied) override;
    [[nodiscard]] bool CancelRequested() override { return cancelRequested_; }

    // The window's handlers: three buttons and the close.
    void cmd_Source_Click();
    void cmd_Target_Click();
    void cmd_Write_Click();
    void frm_WinMain_Close();

    // Carries out a close that arrived while an operation was running; true when the window
    // is (now) closed. Start-up calls it before entering the event loop.
    bool CloseIfAsked();

  protected:
    // During a write: every click and key that is not for Cancel is dropped.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // The size within the screen's room and no smaller than the controls need.
    [[nodiscard]] QSize Fitted(QSize wanted) const;
    QGroupBox* FilesGroup();
    QGroupBox* DelayGroup();
    QGroupBox* InformationGroup();
    QGroupBox* ProgressGroup();
    void BuildLayout();
    // Runs one piece of the logic, unless another is still running (a write lets the window
    // repaint, and a drop can arrive meanwhile); afterwards the pointer is always restored.
    void RunOperation(const std::function<void()>& operation);
    void ShowProgress();
    // A name typed or pasted into ed_Source, once the box is left or Enter is pressed.
    void SourceTyped();

    MainWindow* logic_ = nullptr;
    std::function<void()> onClose_;
    BusyPointer busyPointer_;
    int operationDepth_ = 0;
    bool closeAsked_ = false;
    bool writing_ = false;
    bool cancelRequested_ = false;
    bool writeEnabledBefore_ = false;

    // ed_Info's exact text: the widget keeps its own line ends, the report needs "\r\n".
    std::string infoText_;
    std::int64_t progressMaximum_ = 0;
    std::int64_t progressValue_ = 0;

    QLineEdit* edSource_ = nullptr;
    QLineEdit* edTarget_ = nullptr;
    QLineEdit* edDelay_ = nullptr;
    QLineEdit* edEndDelay_ = nullptr;
    QLineEdit* edStatus_ = nullptr;
    QPlainTextEdit* edInfo_ = nullptr;
    AddSilentCheckBox* chkAddSilent_ = nullptr;
    QCheckBox* chkRepair_ = nullptr;
    QPushButton* cmdSource_ = nullptr;
    QPushButton* cmdTarget_ = nullptr;
    QPushButton* cmdWrite_ = nullptr;
    QProgressBar* proStatus_ = nullptr;
};

}  // namespace velmora
