// frm_WinMain's controls: names, kinds, layout and the values they carry.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeySequence>
#include <QScrollBar>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QScreen>
#include <array>
#include <map>
#include <optional>
#include <string>

#include "platform/qt/qt_main_view.h"
#include "support/test_support.h"
#include "ui/main_window.h"
#include "ui/program_state.h"

namespace velmora {
namespace {

struct ControlRow {
    const char* name;
    const char* kind;
};

constexpr std::array<ControlRow, 21> kControls{{
    {"fr1", "QGroupBox"},
    {"fr2", "QGroupBox"},
    {"fr3", "QGroupBox"},
    {"fr_Info", "QGroupBox"},
    {"ed_Source", "QLineEdit"},
    {"cmd_Source", "QPushButton"},
    {"ed_Target", "QLineEdit"},
    {"cmd_Target", "QPushButton"},
    {"ed_Delay", "QLineEdit"},
    {"ed_EndDelay", "QLineEdit"},
    {"chk_AddSilent", "QCheckBox"},
    {"cmd_Write", "QPushButton"},
    {"ed_Info", "QPlainTextEdit"},
    {"ed_Status", "QLineEdit"},
    {"pro_Status", "QProgressBar"},
    {"lbl1", "QLabel"},
    {"lbl2", "QLabel"},
    {"lbl3", "QLabel"},
    {"lbl4", "QLabel"},
    {"lbl5", "QLabel"},
    {"lbl6", "QLabel"},
}};

template <typename T>
T* Control(const QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

TEST(QtMainView, EveryControlExistsByNameAndKind) {
    QtMainView window;
    EXPECT_EQ(window.objectName(), "frm_WinMain");
    EXPECT_EQ(window.windowTitle(), "Velmora");
    for (const ControlRow& row : kControls) {
        const auto* control = Control<QWidget>(window, row.name);
        ASSERT_NE(control, nullptr) << row.name;
        EXPECT_TRUE(control->inherits(row.kind)) << row.name << " is not a " << row.kind;
    }
    for (const char* label : {"lbl1", "lbl2", "lbl3", "lbl4", "lbl5", "lbl6"}) {
        EXPECT_FALSE(Control<QLabel>(window, label)->text().isEmpty()) << label;
    }
}

TEST(QtMainView, IsCreatedHiddenAndShowsOnRequest) {
    QtMainView window;
    EXPECT_FALSE(window.isVisible());
    window.SetVisible(true);
    EXPECT_TRUE(window.isVisible());
    window.SetVisible(false);
    EXPECT_FALSE(window.isVisible());
}

TEST(QtMainView, InformationBoxIsMonospacedAndReadOnly) {
    QtMainView window;
    const auto* info = Control<QPlainTextEdit>(window, "ed_Info");
    EXPECT_TRUE(info->isReadOnly());
    // The request, not what the machine's fonts make of it: fontconfig may answer "monospace"
    // with a font that Qt does not report as fixed-pitch although it is drawn so.
    EXPECT_TRUE(info->font().fixedPitch());
    EXPECT_EQ(info->font().styleHint(), QFont::Monospace);
    EXPECT_TRUE(Control<QLineEdit>(window, "ed_Status")->isReadOnly());
    EXPECT_FALSE(Control<QPushButton>(window, "cmd_Write")->isEnabled());
}

// The whole window, Write and the progress bar included, lies on the screen it opens on,
// and may be made smaller than it opens. Also run at twice the scale on a small screen.
TEST(QtMainView, FitsTheScreenAtAnyScale) {
    // The first size, and sizes stored by an earlier run on a bigger or denser screen.
    for (const auto stored : {std::optional<WindowSize>(), std::optional(WindowSize{5000, 4000}),
                              std::optional(WindowSize{10, 10})}) {
        QtMainView window;
        if (stored) {
            window.Resize(*stored);
        }
        window.SetVisible(true);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        const QRect screen = window.screen()->availableGeometry();
        const auto where = [](const QRect& r) {
            return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " +
                   std::to_string(r.width()) + "x" + std::to_string(r.height());
        };
        EXPECT_TRUE(screen.contains(window.frameGeometry()))
            << where(window.frameGeometry()) << " on " << where(screen);
        EXPECT_LE(window.minimumSizeHint().width(), screen.width());
        EXPECT_LE(window.minimumSizeHint().height(), screen.height());
        for (const char* name : {"cmd_Write", "pro_Status"}) {
            auto* control = window.findChild<QWidget*>(QString::fromLatin1(name));
            ASSERT_NE(control, nullptr) << name;
            const QRect global(control->mapToGlobal(QPoint(0, 0)), control->size());
            EXPECT_TRUE(screen.contains(global)) << name << " at " << where(global);
        }
        // What the next run is given back is what it shows.
        const auto size = window.Size();
        ASSERT_TRUE(size.has_value());
        window.Resize(*size);
        EXPECT_EQ(window.Size(), size);
    }
}

TEST(QtMainView, NameBoxesStretchWithTheWindowAndDelayBoxesDoNot) {
    QtMainView window;
    window.SetVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto* source = Control<QLineEdit>(window, "ed_Source");
    const auto* delay = Control<QLineEdit>(window, "ed_Delay");
    const auto* info = Control<QPlainTextEdit>(window, "ed_Info");
    const int sourceWidth = source->width();
    const int delayWidth = delay->width();
    const int infoHeight = info->height();

    window.resize(window.width() + 300, window.height() + 200);
    QApplication::processEvents();

    EXPECT_EQ(source->width(), sourceWidth + 300);
    EXPECT_EQ(delay->width(), delayWidth);
    EXPECT_EQ(info->height(), infoHeight + 200);
}

TEST(QtMainView, DelayBoxesAreFollowedByTheirUnit) {
    QtMainView window;
    window.SetVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const char* name : {"ed_Delay", "ed_EndDelay"}) {
        const auto* box = Control<QLineEdit>(window, name);
        const QPoint right = box->mapTo(&window, QPoint(box->width() + 8, box->height() / 2));
        const auto* unit = qobject_cast<QLabel*>(window.childAt(right));
        ASSERT_NE(unit, nullptr) << name;
        EXPECT_EQ(unit->text(), "ms") << name;
    }
}

TEST(QtMainView, TextBoxesGiveBackExactlyWhatTheyWereGiven) {
    QtMainView window;
    struct Row {
        TextBox box;
        std::string text;
    };
    const std::array<Row, 6> rows{{
        {TextBox::ed_Source, "/home/user/Film AC3 DELAY -40ms.ac3"},
        {TextBox::ed_Target, "/home/user/Film.ac3"},
        {TextBox::ed_Delay, "-40"},
        {TextBox::ed_EndDelay, "12.6"},
        {TextBox::ed_Status, "Writing..."},
        {TextBox::ed_Info, "Source file information:\r\n\r\nSampling rate: 48 kHz\r\n"},
    }};
    for (const Row& row : rows) {
        window.SetText(row.box, row.text);
    }
    for (const Row& row : rows) {
        EXPECT_EQ(window.Text(row.box), row.text);
    }
    // The widget shows plain line breaks; the report keeps its "\r\n".
    EXPECT_EQ(Control<QPlainTextEdit>(window, "ed_Info")->toPlainText(),
              "Source file information:\n\nSampling rate: 48 kHz\n");
}

TEST(QtMainView, CheckBoxValueMapsToItsThreeStates) {
    struct Row {
        int value;
        Qt::CheckState state;
        bool tristate;
        int readBack;
    };
    const std::array<Row, 5> rows{{
        {0, Qt::Unchecked, false, 0},
        {1, Qt::Checked, false, 1},
        {2, Qt::PartiallyChecked, true, 2},
        {7, Qt::Unchecked, false, 0},
        {-1, Qt::Unchecked, false, 0},
    }};
    QtMainView window;
    auto* box = Control<QCheckBox>(window, "chk_AddSilent");
    for (const Row& row : rows) {
        window.SetAddSilentValue(2);  // every row starts from the greyed state
        window.SetAddSilentValue(row.value);
        EXPECT_EQ(box->checkState(), row.state) << row.value;
        EXPECT_EQ(box->isTristate(), row.tristate) << row.value;
        EXPECT_EQ(window.AddSilentValue(), row.readBack) << row.value;
    }
}

TEST(QtMainView, ClickingTheGreyedCheckBoxLeavesTheGreyStateForGood) {
    QtMainView window;
    window.SetVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* box = Control<QCheckBox>(window, "chk_AddSilent");
    window.SetAddSilentValue(2);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(window.AddSilentValue(), 1);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(window.AddSilentValue(), 0);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(window.AddSilentValue(), 1);
}

// Keystrokes alone run nothing; Enter or leaving the box chooses an existing typed name as
// the Open dialog would, with a new proposed target and a new report.
TEST(QtMainView, TypedSourceIsChosenOnEnterOrWhenTheBoxIsLeft) {
    test::ScratchDir dir;
    const std::string first = dir.File("typed.ac3");
    const std::string second = dir.File("pasted.ac3");
    for (const std::string& name : {first, second}) {
        test::WriteFile(name, test::BuildFrames(test::Ac3Header(0x1C), 1536, 4));
    }

    ProgramState state;
    QtMainView window;
    MainWindow logic(state, window);
    window.Attach(logic, [] {});
    window.SetVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* source = Control<QLineEdit>(window, "ed_Source");

    source->setFocus();
    QTest::keyClicks(source, QString::fromStdString(first));
    QTest::keyClicks(Control<QLineEdit>(window, "ed_Delay"), "5");
    EXPECT_TRUE(state.SourceName.empty()) << "typing alone chooses nothing";
    EXPECT_FALSE(window.WriteEnabled());

    source->setFocus();
    QTest::keyClick(source, Qt::Key_Return);
    EXPECT_EQ(state.SourceName, first);
    EXPECT_EQ(window.Text(TextBox::ed_Target), dir.File("typed_fix.ac3"));
    EXPECT_NE(window.Text(TextBox::ed_Info), "");
    EXPECT_TRUE(window.WriteEnabled());

    // Pasted over the first, then the box is left: the old target must not stay.
    source->setFocus();
    source->selectAll();
    source->insert(QString::fromStdString(second));
    Control<QLineEdit>(window, "ed_Target")->setFocus();
    EXPECT_EQ(state.SourceName, second);
    EXPECT_EQ(window.Text(TextBox::ed_Target), dir.File("pasted_fix.ac3"));

    // A name that is no file is left as typed, with the last choice standing.
    source->setFocus();
    source->selectAll();
    source->insert(QString::fromStdString(dir.File("gone.ac3")));
    QTest::keyClick(source, Qt::Key_Return);
    EXPECT_EQ(state.SourceName, second);
    EXPECT_EQ(window.Text(TextBox::ed_Target), dir.File("pasted_fix.ac3"));
}

// Two controls sharing a key make Qt move between them instead of acting: each key once.
TEST(QtMainView, EveryAcceleratorIsUniqueAndAltLTogglesTheCheckBox) {
    ProgramState state;
    QtMainView window;
    MainWindow logic(state, window);
    window.Attach(logic, [] {});
    window.SetVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    std::map<QChar, QString> owners;
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        const QString key = QKeySequence::mnemonic(button->text()).toString();
        if (!key.isEmpty()) {
            EXPECT_TRUE(owners.emplace(key.back().toLower(), button->objectName()).second)
                << key.toStdString() << " twice";
        }
    }
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        const qsizetype at = label->text().indexOf('&');
        if (at >= 0 && at + 1 < label->text().size()) {
            EXPECT_TRUE(owners.emplace(label->text()[at + 1].toLower(), label->objectName()).second)
                << label->text().toStdString() << " shares its key";
        }
    }
    EXPECT_EQ(owners.at('l'), "chk_AddSilent");

    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.SetAddSilentValue(0);
    // A button's key presses it the animated way: the click lands a moment later.
    QTest::keyClick(&window, Qt::Key_L, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&window] { return window.AddSilentValue() == 1; }));
    QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(Control<QLineEdit>(window, "ed_Source")->hasFocus());
    EXPECT_EQ(window.AddSilentValue(), 1) << "Alt+S is the source box's alone";
}

TEST(QtMainView, InformationBoxShowsTheNewestLineAfterAnAppend) {
    QtMainView window;
    window.SetVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto* info = Control<QPlainTextEdit>(window, "ed_Info");
    std::string text;
    for (int line = 0; line < 200; ++line) {
        text += "report line " + std::to_string(line) + "\r\n";
    }
    window.SetText(TextBox::ed_Info, text);
    QApplication::processEvents();
    EXPECT_EQ(info->verticalScrollBar()->value(), 0) << "a new report starts at its top";
    window.SetText(TextBox::ed_Info, text + "the newest line\r\n");
    QApplication::processEvents();
    EXPECT_GT(info->verticalScrollBar()->value(), 0);
    EXPECT_EQ(info->verticalScrollBar()->value(), info->verticalScrollBar()->maximum());
    EXPECT_EQ(window.Text(TextBox::ed_Info), text + "the newest line\r\n");
    EXPECT_EQ(info->toPlainText().toStdString().substr(info->toPlainText().size() - 16),
              "the newest line\n");
}

TEST(QtMainView, ClosingTheWindowRunsTheCloseHandlerOnce) {
    ProgramState state;
    QtMainView window;
    MainWindow logic(state, window);
    int closes = 0;
    window.Attach(logic, [&closes] { ++closes; });
    window.SetVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    EXPECT_TRUE(window.close());
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(window.isVisible());
}

TEST(QtMainView, CloseDuringAnOperationWaitsUntilItIsOver) {
    ProgramState state;
    QtMainView window;
    MainWindow logic(state, window);
    int closes = 0;
    window.Attach(logic, [&closes] { ++closes; });
    window.SetVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // A close that arrives while a write lets the window catch up with its events.
    QTimer::singleShot(0, &window, [&window] { window.close(); });
    window.ProcessPendingEvents();
    EXPECT_EQ(closes, 0);
    EXPECT_TRUE(window.isVisible());

    EXPECT_TRUE(window.CloseIfAsked());
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace velmora
