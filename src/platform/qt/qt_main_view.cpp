// frm_WinMain as a Qt widget: the named controls, the platform services and the handlers.
#include "platform/qt/qt_main_view.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QTextCursor>
#include <QVBoxLayout>

#include "platform/qt/add_silent_check_box.h"
#include "platform/qt/app_icon.h"
#include "platform/qt/file_dialog.h"
#include "platform/qt/message_box.h"
#include "ui/progress_scale.h"

namespace velmora {

namespace {

QString FromText(const std::string& text) {
    return QString::fromStdString(text);
}

// The first local file among dropped items, or an empty name.
QString DroppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return {};
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return url.toLocalFile();
        }
    }
    return {};
}

// The folder of the name a box holds, for a dialog to start in.
QString FolderOf(const QLineEdit* box) {
    const QString name = box->text().trimmed();
    return name.isEmpty() ? QString() : QFileInfo(name).absolutePath();
}

QLabel* Caption(const QString& text, const char* name, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

QLineEdit* DelayBox(const char* name, const QString& tip) {
    auto* box = new QLineEdit(QStringLiteral("0"));
    box->setObjectName(QString::fromLatin1(name));
    box->setAlignment(Qt::AlignRight);
    box->setToolTip(tip);
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("-0000000")) + 16);
    return box;
}

}  // namespace

QtMainView::QtMainView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frm_WinMain"));
    setWindowTitle(QStringLiteral("Velmora"));
    setWindowIcon(MakeAppIcon());
    // A file dropped anywhere on the window becomes the source; the boxes pass drops up.
    setAcceptDrops(true);
    BuildLayout();
    ShowProgress();
}

QtMainView::~QtMainView() {
    // The boxes outlive this part of the window by a moment; a box that loses the focus then
    // must not call back into a window that is gone.
    disconnect(edSource_, nullptr, this, nullptr);
    QApplication::instance()->removeEventFilter(this);
}

// One group box each, built in the order of the window (which is the order of the keys).
QGroupBox* QtMainView::FilesGroup() {
    edSource_ = new QLineEdit;
    edSource_->setObjectName(QStringLiteral("ed_Source"));
    edSource_->setPlaceholderText(
        QStringLiteral("AC-3, DTS, MPEG audio, AAC or WAV (.ac3, .dts, .mpa, .aac, .wav)"));
    cmdSource_ = new QPushButton(QStringLiteral("&Open..."));
    cmdSource_->setObjectName(QStringLiteral("cmd_Source"));
    cmdSource_->setToolTip(QStringLiteral("Choose the stream to correct"));

    edTarget_ = new QLineEdit;
    edTarget_->setObjectName(QStringLiteral("ed_Target"));
    edTarget_->setPlaceholderText(QStringLiteral("Proposed when a source is chosen"));
    cmdTarget_ = new QPushButton(QStringLiteral("Save &as..."));
    cmdTarget_->setObjectName(QStringLiteral("cmd_Target"));
    cmdTarget_->setToolTip(QStringLiteral("Choose where the corrected stream goes"));

    auto* fr1 = new QGroupBox(QStringLiteral("Files"));
    fr1->setObjectName(QStringLiteral("fr1"));
    auto* files = new QGridLayout(fr1);
    files->addWidget(Caption(QStringLiteral("&Source:"), "lbl1", edSource_), 0, 0);
    files->addWidget(edSource_, 0, 1);
    files->addWidget(cmdSource_, 0, 2);
    files->addWidget(Caption(QStringLiteral("&Target:"), "lbl2", edTarget_), 1, 0);
    files->addWidget(edTarget_, 1, 1);
    files->addWidget(cmdTarget_, 1, 2);
    files->setColumnStretch(1, 1);
    return fr1;
}

QGroupBox* QtMainView::DelayGroup() {
    edDelay_ = DelayBox("ed_Delay",
                        QStringLiteral("Milliseconds: a negative delay cuts frames at the start, a "
                                       "positive one adds frames there"));
    edEndDelay_ = DelayBox("ed_EndDelay",
                           QStringLiteral("Milliseconds: a negative delay cuts frames at the end, "
                                          "a positive one adds frames there"));
    // Alt+S belongs to the source box; the check box has its own key.
    chkAddSilent_ = new AddSilentCheckBox(QStringLiteral("Add si&lence at start"));
    chkAddSilent_->setObjectName(QStringLiteral("chk_AddSilent"));
    chkAddSilent_->setToolTip(
        QStringLiteral("Frames added at the start of an AC-3, MPEG audio or AAC stream are "
                       "silent frames instead of copies of its first frame. DTS streams always get "
                       "copies; frames added at the end are always copies of the last frame. "
                       "WAV always gets silent samples at both ends."));
    chkRepair_ = new QCheckBox(QStringLiteral("&Repair damaged frames"));
    chkRepair_->setObjectName(QStringLiteral("chk_Repair"));
    chkRepair_->setToolTip(
        QStringLiteral("A damaged frame becomes a silent one and junk between frames is left "
                       "out, keeping the time, instead of ending the write."));
    cmdWrite_ = new QPushButton(QStringLiteral("&Write"));
    cmdWrite_->setObjectName(QStringLiteral("cmd_Write"));
    cmdWrite_->setToolTip(QStringLiteral("Write the corrected target and its report"));
    cmdWrite_->setMinimumWidth(cmdWrite_->sizeHint().width() * 3 / 2);
    cmdWrite_->setEnabled(false);

    auto* startUnit = new QLabel(QStringLiteral("ms"));
    startUnit->setObjectName(QStringLiteral("lbl_DelayUnit"));
    auto* endUnit = new QLabel(QStringLiteral("ms"));
    endUnit->setObjectName(QStringLiteral("lbl_EndDelayUnit"));

    auto* fr2 = new QGroupBox(QStringLiteral("Delay"));
    fr2->setObjectName(QStringLiteral("fr2"));
    // Two lines, so that the window fits a small screen at a large scale: the delays, then
    // the check box and Write.
    auto* correction = new QVBoxLayout(fr2);
    auto* delays = new QHBoxLayout;
    delays->addWidget(Caption(QStringLiteral("Start &delay:"), "lbl3", edDelay_));
    delays->addWidget(edDelay_);
    delays->addWidget(startUnit);
    delays->addSpacing(24);
    delays->addWidget(Caption(QStringLiteral("&End delay:"), "lbl4", edEndDelay_));
    delays->addWidget(edEndDelay_);
    delays->addWidget(endUnit);
    delays->addStretch(1);
    auto* write = new QHBoxLayout;
    write->addWidget(chkAddSilent_);
    write->addSpacing(24);
    write->addWidget(chkRepair_);
    write->addStretch(1);
    write->addWidget(cmdWrite_);
    correction->addLayout(delays);
    correction->addLayout(write);
    return fr2;
}

QGroupBox* QtMainView::InformationGroup() {
    edInfo_ = new QPlainTextEdit;
    edInfo_->setObjectName(QStringLiteral("ed_Info"));
    edInfo_->setReadOnly(true);
    edInfo_->setAcceptDrops(false);
    edInfo_->setTabChangesFocus(true);
    edInfo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Asked for by its kind, not only by name: whether the font the system then picks says
    // it is fixed-pitch depends on the fonts installed, the request does not.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setStyleHint(QFont::Monospace);
    fixed.setFixedPitch(true);
    edInfo_->setFont(fixed);
    edInfo_->setPlaceholderText(
        QStringLiteral("Choose a source with Open..., or drop a file on this window.\n"
                       "What Velmora finds in it, and what a write did, appears here."));
    // A few lines at the least, so that on a small screen this box gives up its room first.
    edInfo_->setMinimumHeight(edInfo_->fontMetrics().lineSpacing() * 4);

    auto* frInfo = new QGroupBox(QStringLiteral("Information"));
    frInfo->setObjectName(QStringLiteral("fr_Info"));
    auto* info = new QVBoxLayout(frInfo);
    info->addWidget(edInfo_);
    return frInfo;
}

QGroupBox* QtMainView::ProgressGroup() {
    edStatus_ = new QLineEdit;
    edStatus_->setObjectName(QStringLiteral("ed_Status"));
    edStatus_->setReadOnly(true);
    edStatus_->setFocusPolicy(Qt::NoFocus);
    proStatus_ = new QProgressBar;
    proStatus_->setObjectName(QStringLiteral("pro_Status"));

    auto* fr3 = new QGroupBox(QStringLiteral("Progress"));
    fr3->setObjectName(QStringLiteral("fr3"));
    auto* progress = new QHBoxLayout(fr3);
    progress->addWidget(Caption(QStringLiteral("Status:"), "lbl5", edStatus_));
    progress->addWidget(edStatus_, 1);
    progress->addSpacing(12);
    progress->addWidget(Caption(QStringLiteral("Progress:"), "lbl6", proStatus_));
    progress->addWidget(proStatus_, 2);
    return fr3;
}

void QtMainView::BuildLayout() {
    QGroupBox* fr1 = FilesGroup();
    QGroupBox* fr2 = DelayGroup();
    QGroupBox* frInfo = InformationGroup();
    QGroupBox* fr3 = ProgressGroup();

    // The boxes would take a dropped file as text; the window takes it as the source.
    for (QLineEdit* box : {edSource_, edTarget_, edDelay_, edEndDelay_, edStatus_}) {
        box->setAcceptDrops(false);
    }

    auto* window = new QVBoxLayout(this);
    window->addWidget(fr1);
    window->addWidget(fr2);
    window->addWidget(frInfo, 1);
    window->addWidget(fr3);

    connect(cmdSource_, &QPushButton::clicked, this, [this] { cmd_Source_Click(); });
    connect(cmdTarget_, &QPushButton::clicked, this, [this] { cmd_Target_Click(); });
    connect(cmdWrite_, &QPushButton::clicked, this, [this] { cmd_Write_Click(); });
    // Enter, or leaving the box, chooses a typed name as the Open dialog would.
    connect(edSource_, &QLineEdit::editingFinished, this, [this] { SourceTyped(); });
    QApplication::instance()->installEventFilter(this);

    // The first size holds a whole report (source, plan and target lines) where the screen
    // has room; a smaller screen, or a large scale, gets less of the information box.
    const int report = edInfo_->fontMetrics().lineSpacing() * 20;
    QSize first = sizeHint().expandedTo(QSize(760, 0));
    first.rheight() += std::max(0, report - edInfo_->sizeHint().height());
    resize(Fitted(first));
}

QSize QtMainView::Fitted(QSize wanted) const {
    if (const QScreen* shown = screen()) {
        // Less the room a window manager's frame and title bar usually take.
        wanted = wanted.boundedTo(shown->availableGeometry().size() - QSize(16, 48));
    }
    return wanted.expandedTo(minimumSizeHint());
}

std::optional<WindowSize> QtMainView::Size() const {
    // A minimised or maximised window says nothing of the size the user gave it.
    if (isMinimized() || isMaximized() || isFullScreen()) {
        return std::nullopt;
    }
    return WindowSize{width(), height()};
}

void QtMainView::Resize(WindowSize size) {
    resize(Fitted(QSize(size.width, size.height)));
}

void QtMainView::Attach(MainWindow& logic, std::function<void()> onClose) {
    logic_ = &logic;
    onClose_ = std::move(onClose);
}

std::string QtMainView::Text(TextBox box) const {
    switch (box) {
        case TextBox::ed_Source:
            return edSource_->text().toStdString();
        case TextBox::ed_Target:
            return edTarget_->text().toStdString();
        case TextBox::ed_Delay:
            return edDelay_->text().toStdString();
        case TextBox::ed_EndDelay:
            return edEndDelay_->text().toStdString();
        case TextBox::ed_Status:
            return edStatus_->text().toStdString();
        case TextBox::ed_Info:
            break;
    }
    return infoText_;
}

void QtMainView::SetText(TextBox box, const std::string& text) {
    switch (box) {
        case TextBox::ed_Source:
            edSource_->setText(FromText(text));
            return;
        case TextBox::ed_Target:
            edTarget_->setText(FromText(text));
            return;
        case TextBox::ed_Delay:
            edDelay_->setText(FromText(text));
            return;
        case TextBox::ed_EndDelay:
            edEndDelay_->setText(FromText(text));
            return;
        case TextBox::ed_Status:
            edStatus_->setText(FromText(text));
            return;
        case TextBox::ed_Info:
            break;
    }
    const bool appended = !infoText_.empty() && text.size() > infoText_.size() &&
                          text.compare(0, infoText_.size(), infoText_) == 0;
    const auto shown = [](const std::string& part) {
        return FromText(part).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    };
    if (appended && !infoText_.ends_with('\r')) {
        // Report lines are added at the end: the newest one is what the user wants to see.
        QTextCursor end(edInfo_->document());
        end.movePosition(QTextCursor::End);
        end.insertText(shown(text.substr(infoText_.size())));
        infoText_ = text;
        edInfo_->moveCursor(QTextCursor::End);
        edInfo_->ensureCursorVisible();
        return;
    }
    infoText_ = text;
    edInfo_->setPlainText(shown(text));
}

int QtMainView::AddSilentValue() const {
    return chkAddSilent_->Value();
}

void QtMainView::SetAddSilentValue(int value) {
    chkAddSilent_->SetValue(value);
}

bool QtMainView::RepairChecked() const {
    return chkRepair_->isChecked();
}

void QtMainView::SetRepairChecked(bool checked) {
    chkRepair_->setChecked(checked);
}

bool QtMainView::WriteEnabled() const {
    return cmdWrite_->isEnabled();
}

void QtMainView::SetWriteEnabled(bool enabled) {
    cmdWrite_->setEnabled(enabled);
}

void QtMainView::SetProgressMaximum(std::int64_t maximum) {
    progressMaximum_ = maximum;
    ShowProgress();
}

void QtMainView::SetProgressValue(std::int64_t value) {
    progressValue_ = value;
    ShowProgress();
}

void QtMainView::ShowProgress() {
    const ProgressBarRange range = ScaleProgress(progressMaximum_, progressValue_);
    if (proStatus_->maximum() != range.maximum) {
        proStatus_->setRange(0, range.maximum);
    }
    proStatus_->setValue(range.value);
}

void QtMainView::SetVisible(bool visible) {
    if (!visible) {
        hide();
        return;
    }
    show();
    raise();
    activateWindow();
}

int QtMainView::ShowMessage(MessageIcon icon, const std::string& text, const std::string& buttons,
                            int defaultButton) {
    const auto box = MakeMessageBox(icon, text, buttons, defaultButton, this);
    // A question during a write must not be answered under the busy pointer.
    const bool busy = busyPointer_.Active();
    if (busy) {
        QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    }
    box->exec();
    if (busy) {
        QApplication::restoreOverrideCursor();
    }
    return MessageBoxAnswer(*box, defaultButton);
}

std::optional<std::string> QtMainView::ShowOpenDialog(const FileDialogConfig& config) {
    const auto dialog = MakeFileDialog(config, FileDialogKind::Open, this, FolderOf(edSource_));
    return RunFileDialog(*dialog);
}

std::optional<std::string> QtMainView::ShowSaveDialog(const FileDialogConfig& config) {
    const auto dialog = MakeFileDialog(config, FileDialogKind::Save, this, FolderOf(edTarget_));
    return RunFileDialog(*dialog);
}

void QtMainView::ProcessPendingEvents() {
    ++operationDepth_;
    if (writing_) {
        // Clicks and keys are handled now, so Cancel is seen; the filter drops all others
        // rather than keep them for after the write, when they would start a second one.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    } else {
        // Repaints, moves and resizes go through; clicks and keys wait until the operation
        // is over.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    --operationDepth_;
}

void QtMainView::WriteStarted() {
    writing_ = true;
    cancelRequested_ = false;
    writeEnabledBefore_ = cmdWrite_->isEnabled();
    // A batch run writes with the button off; Cancel must still be there to press.
    cmdWrite_->setText(QStringLiteral("&Cancel"));
    cmdWrite_->setToolTip(QStringLiteral("Stop the write; the target stays as it was"));
    cmdWrite_->setEnabled(true);
}

void QtMainView::WriteEnded(bool /*copied*/) {
    writing_ = false;
    cmdWrite_->setText(QStringLiteral("&Write"));
    cmdWrite_->setToolTip(QStringLiteral("Write the corrected target and its report"));
    cmdWrite_->setEnabled(writeEnabledBefore_);
}

bool QtMainView::eventFilter(QObject* watched, QEvent* event) {
    if (!writing_) {
        return false;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::Drop:
            // The window system hands input to the window first, which passes it on to the
            // widget under it; only that widget's copy is judged.
            return watched->isWidgetType() && watched != cmdWrite_;
        default:
            return false;
    }
}

void QtMainView::SetBusyPointer(bool busy) {
    busyPointer_.Set(busy);
}

void QtMainView::RunOperation(const std::function<void()>& operation) {
    if (logic_ == nullptr || operationDepth_ > 0) {
        return;
    }
    ++operationDepth_;
    operation();
    --operationDepth_;
    busyPointer_.Reset();
    CloseIfAsked();
}

void QtMainView::cmd_Source_Click() {
    RunOperation([this] { logic_->cmd_Source_Click(); });
}

void QtMainView::cmd_Target_Click() {
    RunOperation([this] { logic_->cmd_Target_Click(); });
}

void QtMainView::cmd_Write_Click() {
    if (writing_) {
        // The button reads Cancel now; the writer looks at this between two blocks.
        cancelRequested_ = true;
        return;
    }
    RunOperation([this] { (void)logic_->cmd_Write_Click(); });
}

void QtMainView::SourceTyped() {
    const std::string typed = edSource_->text().toStdString();
    RunOperation([this, &typed] { logic_->SourceTyped(typed); });
}

void QtMainView::frm_WinMain_Close() {
    if (onClose_) {
        onClose_();
    }
}

bool QtMainView::CloseIfAsked() {
    if (closeAsked_ && operationDepth_ == 0) {
        closeAsked_ = false;
        close();
    }
    return !isVisible();
}

void QtMainView::closeEvent(QCloseEvent* event) {
    if (operationDepth_ > 0) {
        // Closing in the middle of a write would end the program under it; close after.
        closeAsked_ = true;
        event->ignore();
        return;
    }
    frm_WinMain_Close();
    event->accept();
}

void QtMainView::dragEnterEvent(QDragEnterEvent* event) {
    if (logic_ != nullptr && operationDepth_ == 0 && !DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void QtMainView::dropEvent(QDropEvent* event) {
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    RunOperation([this, &file] {
        logic_->State().SourceName = QFile::encodeName(file).toStdString();
        logic_->SourceChosen();
    });
}

}  // namespace velmora
