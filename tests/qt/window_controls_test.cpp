// frm_WinMain's controls: names, kinds, layout and the values they carry.
#include <gtest/gtest.h>

#include <QApplication>
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
#include <array>
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
    EXPECT_TRUE(QFontInfo(info->font()).fixedPitch());
    EXPECT_TRUE(Control<QLineEdit>(window, "ed_Status")->isReadOnly());
    EXPECT_FALSE(Control<QPushButton>(window, "cmd_Write")->isEnabled());
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

TEST(QtMainView, TypingIntoTheBoxesRunsNothing) {
    test::ScratchDir dir;
    const std::string source = dir.File("typed.ac3");
    test::WriteFile(source, test::BuildFrames(test::Ac3Header(0x1C), 1536, 4));

    ProgramState state;
    QtMainView window;
    MainWindow logic(state, window);
    window.Attach(logic, [] {});
    window.SetVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QTest::keyClicks(Control<QLineEdit>(window, "ed_Source"), QString::fromStdString(source));
    QTest::keyClicks(Control<QLineEdit>(window, "ed_Delay"), "5");
    QTest::keyClicks(Control<QLineEdit>(window, "ed_Target"), "other.ac3");

    EXPECT_EQ(window.Text(TextBox::ed_Source), source);
    EXPECT_TRUE(state.SourceName.empty());
    EXPECT_EQ(window.Text(TextBox::ed_Target), "other.ac3");
    EXPECT_EQ(window.Text(TextBox::ed_Info), "");
    EXPECT_FALSE(window.WriteEnabled());
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
