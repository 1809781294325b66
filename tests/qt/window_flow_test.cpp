// Whole operations driven through the window as a person drives them: dialogs, drop, Write.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/qt_front_end.h"
#include "platform/qt/qt_main_view.h"
#include "qt/modal_answer.h"
#include "support/test_support.h"
#include "ui/main_window.h"
#include "ui/program_state.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kFrameLength = 1792;  // 48 kHz, 448 kbit/s AC-3

// A real AC-3 stream of whole 1792-byte frames, made by ffmpeg from a tone.
std::string MakeAc3(const test::ScratchDir& dir, const std::string& name) {
    const std::string path = dir.File(name);
    const test::CommandResult made = test::RunCommand(
        "ffmpeg -hide_banner -loglevel error -y -f lavfi -i sine=frequency=440:duration=2 "
        "-ac 2 -ar 48000 -c:a ac3 -b:a 448k " +
        test::ShellQuote(path));
    EXPECT_EQ(made.exitStatus, 0) << made.err;
    return path;
}

test::Bytes Slice(const test::Bytes& bytes, std::int64_t from, std::int64_t to) {
    return test::Bytes(bytes.begin() + from, bytes.begin() + to);
}

class QtWindowFlow : public ::testing::Test {
  protected:
    void SetUp() override {
        window_.Attach(logic_, [this] { ++closes_; });
        window_.SetVisible(true);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
        // Every status text the window shows, in order.
        QObject::connect(Box("ed_Status"), &QLineEdit::textChanged,
                         [this](const QString& text) { statuses_.push_back(text.toStdString()); });
    }

    QLineEdit* Box(const char* name) { return window_.findChild<QLineEdit*>(name); }
    QPushButton* Button(const char* name) { return window_.findChild<QPushButton*>(name); }
    QProgressBar* Progress() { return window_.findChild<QProgressBar*>("pro_Status"); }

    void Type(const char* box, const QString& text) {
        Box(box)->clear();
        QTest::keyClicks(Box(box), text);
    }

    // Presses a button that opens a file dialog and answers the dialog: with a name to
    // choose, or cancelled when `choice` is empty. A Save dialog that asks before replacing
    // an existing file is told yes. Returns the dialog's title.
    QString ClickAndChoose(const char* button, const std::string& choice) {
        QString title;
        QFileDialog::FileMode mode = QFileDialog::AnyFile;
        const bool replaces =
            !choice.empty() && fs::exists(choice) && std::string(button) == "cmd_Target";
        std::vector<test::ModalAnswer::Answer> answers{[&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (dialog == nullptr) {
                modal->close();
                return;
            }
            title = dialog->windowTitle();
            mode = dialog->fileMode();
            if (choice.empty()) {
                dialog->reject();
                return;
            }
            // Typed into the dialog's name box, as a person would.
            auto* nameBox = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(nameBox, nullptr);
            nameBox->setText(QString::fromStdString(choice));
            static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
        }};
        if (replaces) {
            answers.emplace_back([](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                if (box != nullptr && box->button(QMessageBox::Yes) != nullptr) {
                    box->button(QMessageBox::Yes)->click();
                } else {
                    modal->close();
                }
            });
        }
        test::ModalAnswer answer(std::move(answers));
        QTest::mouseClick(Button(button), Qt::LeftButton);
        EXPECT_TRUE(answer.Answered()) << button << (replaces ? ": no overwrite question" : "");
        lastDialogMode_ = mode;
        return title;
    }

    // Presses Write and answers the message box that comes up, if one does.
    struct MessageSeen {
        bool shown = false;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString defaultLabel;
        bool pointerBusy = false;
    };
    MessageSeen ClickWriteAnswering(const QString& label) {
        MessageSeen seen;
        test::ModalAnswer answer([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                modal->close();
                return;
            }
            seen.shown = true;
            seen.text = box->text();
            seen.icon = box->icon();
            seen.defaultLabel = box->defaultButton() ? box->defaultButton()->text() : QString();
            const QCursor* pointer = QApplication::overrideCursor();
            seen.pointerBusy = pointer != nullptr && pointer->shape() == Qt::WaitCursor;
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == label) {
                    button->click();
                    return;
                }
            }
            box->close();
        });
        QTest::mouseClick(Button("cmd_Write"), Qt::LeftButton);
        return seen;
    }

    test::ScratchDir dir_;
    ProgramState state_;
    QtMainView window_;
    MainWindow logic_{state_, window_};
    int closes_ = 0;
    std::vector<std::string> statuses_;
    QFileDialog::FileMode lastDialogMode_ = QFileDialog::AnyFile;
};

TEST_F(QtWindowFlow, WholeWriteThroughTheWindow) {
    if (!test::HaveFfmpeg()) {
        return;
    }
    const std::string source = MakeAc3(dir_, "clip.ac3");
    const std::string target = dir_.File("clip_fixed.ac3");
    const test::Bytes sourceBytes = test::ReadFile(source);
    ASSERT_EQ(static_cast<std::int64_t>(sourceBytes.size()) % kFrameLength, 0);
    const std::int64_t frames = static_cast<std::int64_t>(sourceBytes.size()) / kFrameLength;
    ASSERT_GT(frames, 10);

    EXPECT_EQ(ClickAndChoose("cmd_Source", source), "Open Source File");
    EXPECT_EQ(lastDialogMode_, QFileDialog::ExistingFile);
    EXPECT_EQ(Box("ed_Source")->text().toStdString(), source);
    EXPECT_EQ(Box("ed_Target")->text().toStdString(), dir_.File("clip_fix.ac3"));
    EXPECT_EQ(ClickAndChoose("cmd_Target", target), "Open Target File");
    EXPECT_EQ(Box("ed_Target")->text().toStdString(), target);
    ASSERT_TRUE(Button("cmd_Write")->isEnabled());

    Type("ed_Delay", "-100");
    Type("ed_EndDelay", "64");
    window_.SetAddSilentValue(0);
    const MessageSeen message = ClickWriteAnswering("OK");
    EXPECT_FALSE(message.shown) << message.text.toStdString();

    // 100 ms is 3 frames cut at the start; 64 ms is 2 copies of the last frame at the end.
    test::Bytes expected = Slice(sourceBytes, 3 * kFrameLength, frames * kFrameLength);
    const test::Bytes last = Slice(sourceBytes, (frames - 1) * kFrameLength, frames * kFrameLength);
    expected.insert(expected.end(), last.begin(), last.end());
    expected.insert(expected.end(), last.begin(), last.end());
    EXPECT_TRUE(test::ReadFile(target) == expected);

    const std::string info = window_.Text(TextBox::ed_Info);
    EXPECT_EQ(info.rfind("Source file information:\r\n\r\nSampling rate: 48 kHz\r\n", 0), 0u);
    EXPECT_NE(info.find("\r\nTarget file information:\r\n\r\n"
                        "3 frames (96ms) have been cut at start.\r\n"
                        "2 frames (64ms) have been added at end.\r\n" +
                        std::to_string(frames - 1) + " frames ("),
              std::string::npos);
    EXPECT_EQ(test::ReadTextFile(dir_.File("clip_fixed.txt")), info);

    EXPECT_EQ(statuses_,
              (std::vector<std::string>{"Writing...", "Adding 2 frames at end.", "pending..."}));
    EXPECT_EQ(Progress()->value(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(QtWindowFlow, WriteButtonFollowsTheSourceAndTargetChoices) {
    if (!test::HaveFfmpeg()) {
        return;
    }
    const std::string source = MakeAc3(dir_, "movie.ac3");
    const std::string noHeader = dir_.File("noise.ac3");
    test::WriteFile(noHeader, test::Bytes(4096, 0x55));
    EXPECT_FALSE(Button("cmd_Write")->isEnabled());

    struct Step {
        const char* button;
        std::string choice;  // empty: the dialog is cancelled, which changes nothing
        bool writeEnabled;
        std::string sourceBox;
        std::string targetBox;
    };
    const std::array<Step, 7> steps{{
        {"cmd_Source", source, true, source, dir_.File("movie_fix.ac3")},
        {"cmd_Target", "", true, source, dir_.File("movie_fix.ac3")},
        {"cmd_Target", dir_.File("out.ac3"), true, source, dir_.File("out.ac3")},
        {"cmd_Target", source, false, source, source},
        {"cmd_Source", source, true, source, dir_.File("movie_fix.ac3")},
        {"cmd_Source", "", true, source, dir_.File("movie_fix.ac3")},
        {"cmd_Source", noHeader, false, noHeader, dir_.File("noise_fix.ac3")},
    }};
    int number = 0;
    for (const Step& step : steps) {
        ++number;
        ClickAndChoose(step.button, step.choice);
        EXPECT_EQ(Button("cmd_Write")->isEnabled(), step.writeEnabled) << "step " << number;
        EXPECT_EQ(Box("ed_Source")->text().toStdString(), step.sourceBox) << "step " << number;
        EXPECT_EQ(Box("ed_Target")->text().toStdString(), step.targetBox) << "step " << number;
    }
}

TEST_F(QtWindowFlow, OverwriteQuestionInInteractiveMode) {
    if (!test::HaveFfmpeg()) {
        return;
    }
    struct Row {
        bool batchMode;
        const char* answer;
        bool asked;
        bool written;
    };
    const std::array<Row, 3> rows{{
        {false, "Cancel", true, false},
        {false, "OK", true, true},
        {true, "Cancel", false, true},
    }};
    const std::string source = MakeAc3(dir_, "song.ac3");
    const std::string target = dir_.File("song_fix.ac3");
    const std::string report = dir_.File("song_fix.txt");
    for (const Row& row : rows) {
        test::WriteTextFile(target, "older target");
        fs::remove(report);
        state_.BatchMode = row.batchMode;
        state_.SourceName = source;
        logic_.SourceChosen();
        const std::string infoBefore = window_.Text(TextBox::ed_Info);
        statuses_.clear();

        const MessageSeen message = ClickWriteAnswering(row.answer);

        EXPECT_EQ(message.shown, row.asked) << row.answer;
        if (row.asked) {
            EXPECT_EQ(message.text, "Target already exist. Overwrite?");
            EXPECT_EQ(message.icon, QMessageBox::Warning);
            EXPECT_EQ(message.defaultLabel, "OK");
        }
        if (row.written) {
            EXPECT_EQ(test::ReadFile(target), test::ReadFile(source)) << row.answer;
            EXPECT_TRUE(fs::exists(report));
        } else {
            // Cancel changes nothing at all.
            EXPECT_EQ(test::ReadTextFile(target), "older target");
            EXPECT_FALSE(fs::exists(report));
            EXPECT_EQ(window_.Text(TextBox::ed_Info), infoBefore);
            EXPECT_TRUE(statuses_.empty());
        }
    }
}

TEST_F(QtWindowFlow, BusyPointerIsRestoredAfterADamagedSource) {
    if (!test::HaveFfmpeg()) {
        return;
    }
    const std::string source = MakeAc3(dir_, "damaged.ac3");
    test::Bytes bytes = test::ReadFile(source);
    constexpr std::int64_t kBadFrame = 5;
    bytes[kBadFrame * kFrameLength] = 0;  // the sync word of frame 5 is gone
    test::WriteFile(source, bytes);
    state_.SourceName = source;
    logic_.SourceChosen();
    ASSERT_TRUE(window_.WriteEnabled());

    const MessageSeen message = ClickWriteAnswering("OK");

    EXPECT_TRUE(message.shown);
    EXPECT_TRUE(message.text.startsWith("Source file damaged.")) << message.text.toStdString();
    EXPECT_EQ(message.icon, QMessageBox::Question);
    EXPECT_FALSE(message.pointerBusy);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(window_.Text(TextBox::ed_Status), "pending...");
    // The bar stays where the copy stopped.
    EXPECT_EQ(Progress()->value(), kBadFrame * kFrameLength);
    EXPECT_FALSE(fs::exists(dir_.File("damaged_fix.txt")));
}

// During a write Write reads Cancel and stops it; every other click and key is dropped, not
// kept for after the write. The earlier target stands, and the next Write works as before.
TEST_F(QtWindowFlow, CancelKeepsTheEarlierTargetAndOtherInputDuringTheWriteIsDropped) {
    if (!test::HaveFfmpeg()) {
        return;
    }
    const std::string source = MakeAc3(dir_, "in.ac3");
    const std::string target = dir_.File("in_fix.ac3");
    test::WriteTextFile(target, "the earlier target");
    state_.SourceName = source;
    logic_.SourceChosen();
    ASSERT_TRUE(window_.WriteEnabled());
    state_.BatchMode = true;  // no overwrite question, whose box would run the timer early
    window_.SetAddSilentValue(0);

    QString caption;
    bool enabled = false;
    // Runs inside the write, at its first pass over events.
    QTimer::singleShot(0, &window_, [&] {
        caption = Button("cmd_Write")->text();
        enabled = Button("cmd_Write")->isEnabled();
        QTest::mouseClick(window_.findChild<QWidget*>("chk_AddSilent"), Qt::LeftButton);
        QTest::keyClicks(Box("ed_Delay"), "9");
        QTest::mouseClick(Button("cmd_Write"), Qt::LeftButton);
    });
    QTest::mouseClick(Button("cmd_Write"), Qt::LeftButton);
    QApplication::processEvents();

    EXPECT_EQ(caption, "&Cancel");
    EXPECT_TRUE(enabled);
    EXPECT_EQ(test::ReadTextFile(target), "the earlier target");
    EXPECT_FALSE(fs::exists(dir_.File("in_fix.txt")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 2);
    EXPECT_NE(window_.Text(TextBox::ed_Status).find("cancelled"), std::string::npos);
    EXPECT_EQ(window_.AddSilentValue(), 0) << "the click on the check box was dropped";
    EXPECT_EQ(Box("ed_Delay")->text(), "0") << "the keys were dropped";
    EXPECT_EQ(Button("cmd_Write")->text(), "&Write");
    EXPECT_TRUE(Button("cmd_Write")->isEnabled());

    QTest::mouseClick(Button("cmd_Write"), Qt::LeftButton);
    EXPECT_EQ(test::ReadFile(target), test::ReadFile(source));
    EXPECT_TRUE(fs::exists(dir_.File("in_fix.txt")));
}

TEST_F(QtWindowFlow, DroppingAFileChoosesItAsTheSource) {
    if (!test::HaveFfmpeg()) {
        return;
    }
    const std::string source = MakeAc3(dir_, "Film AC3 DELAY -40ms.ac3");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(source))});
    const QPoint middle = window_.rect().center();

    QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window_, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window_, &drop);

    EXPECT_EQ(state_.SourceName, source);
    EXPECT_EQ(Box("ed_Source")->text().toStdString(), source);
    EXPECT_EQ(Box("ed_Target")->text().toStdString(), dir_.File("Film.ac3"));
    EXPECT_EQ(Box("ed_Delay")->text(), "-40");
    EXPECT_EQ(window_.Text(TextBox::ed_Info).rfind("Source file information:\r\n", 0), 0u);
    EXPECT_TRUE(Button("cmd_Write")->isEnabled());
}

TEST_F(QtWindowFlow, DraggedTextThatIsNoFileIsRefused) {
    QMimeData data;
    data.setText("not a file");
    QDragEnterEvent enter(window_.rect().center(), Qt::CopyAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    enter.ignore();
    QApplication::sendEvent(&window_, &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST(QtFrontEnd, CreatesTheWindowHiddenAndRunsNoLoopWithoutIt) {
    int argc = 1;
    char name[] = "velmora";
    std::array<char*, 2> argv{name, nullptr};
    const std::unique_ptr<FrontEnd> frontEnd = MakeQtFrontEnd(argc, argv.data());
    ASSERT_NE(frontEnd, nullptr);
    auto* window = dynamic_cast<QWidget*>(&frontEnd->View());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->objectName(), "frm_WinMain");
    EXPECT_FALSE(window->isVisible());

    ProgramState state;
    MainWindow logic(state, frontEnd->View());
    int closes = 0;
    frontEnd->Attach(logic, [&closes] { ++closes; });
    // Returns at once: there is no window on screen to wait for.
    frontEnd->RunEventLoop();

    frontEnd->View().SetVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QTimer::singleShot(0, window, [window] { window->close(); });
    frontEnd->RunEventLoop();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace velmora
