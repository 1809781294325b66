// The program's message box: icon, numbered buttons, default button and the answer.
#include "platform/qt/message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QTest>
#include <array>
#include <string>

#include "platform/qt/qt_main_view.h"
#include "qt/modal_answer.h"

namespace velmora {
namespace {

// The buttons in the order of their numbers, found by their labels.
QAbstractButton* Button(const QMessageBox& box, const QString& label) {
    for (QAbstractButton* button : box.buttons()) {
        if (button->text() == label) {
            return button;
        }
    }
    return nullptr;
}

TEST(MakeMessageBox, IconCodesMapToQtIcons) {
    struct Row {
        MessageIcon icon;
        QMessageBox::Icon expected;
    };
    const std::array<Row, 4> rows{{
        {MessageIcon::None, QMessageBox::NoIcon},
        {MessageIcon::Exclamation, QMessageBox::Warning},
        {MessageIcon::Question, QMessageBox::Question},
        {MessageIcon::Stop, QMessageBox::Critical},
    }};
    for (const Row& row : rows) {
        const auto box = MakeMessageBox(row.icon, "text", "OK", 1, nullptr);
        EXPECT_EQ(box->icon(), row.expected) << static_cast<int>(row.icon);
        EXPECT_EQ(box->windowTitle(), "Velmora");
    }
}

TEST(MakeMessageBox, ButtonsDefaultAndEscapeComeFromTheButtonText) {
    struct Row {
        std::string buttons;
        int defaultButton;
        QStringList labels;
        QString defaultLabel;
        QString escapeLabel;  // empty: Escape does nothing
    };
    const std::array<Row, 5> rows{{
        {"OK", 1, {"OK"}, "OK", "OK"},
        {"OK|Cancel", 1, {"OK", "Cancel"}, "OK", "Cancel"},
        {"OK|Cancel", 2, {"OK", "Cancel"}, "Cancel", "Cancel"},
        {"Yes|No|Cancel", 2, {"Yes", "No", "Cancel"}, "No", "Cancel"},
        {"Retry|Skip", 2, {"Retry", "Skip"}, "Skip", ""},
    }};
    for (const Row& row : rows) {
        const auto box = MakeMessageBox(MessageIcon::Exclamation, "text", row.buttons,
                                        row.defaultButton, nullptr);
        ASSERT_EQ(box->buttons().size(), row.labels.size()) << row.buttons;
        for (const QString& label : row.labels) {
            EXPECT_NE(Button(*box, label), nullptr)
                << row.buttons << " lacks " << label.toStdString();
        }
        ASSERT_NE(box->defaultButton(), nullptr) << row.buttons;
        EXPECT_EQ(box->defaultButton()->text(), row.defaultLabel) << row.buttons;
        if (row.escapeLabel.isEmpty()) {
            EXPECT_EQ(box->escapeButton(), nullptr) << row.buttons;
        } else {
            ASSERT_NE(box->escapeButton(), nullptr) << row.buttons;
            EXPECT_EQ(box->escapeButton()->text(), row.escapeLabel) << row.buttons;
        }
    }
}

TEST(MessageBoxAnswer, IsTheNumberOfTheClickedButtonInTextOrder) {
    struct Row {
        std::string buttons;
        QString clicked;
        int expected;
    };
    const std::array<Row, 5> rows{{
        {"OK", "OK", 1},
        {"OK|Cancel", "OK", 1},
        {"OK|Cancel", "Cancel", 2},
        {"Cancel|OK", "OK", 2},
        {"Yes|No|Cancel", "Cancel", 3},
    }};
    for (const Row& row : rows) {
        const auto box = MakeMessageBox(MessageIcon::Question, "text", row.buttons, 1, nullptr);
        QAbstractButton* button = Button(*box, row.clicked);
        ASSERT_NE(button, nullptr) << row.buttons;
        button->click();
        EXPECT_EQ(MessageBoxAnswer(*box, 1), row.expected) << row.buttons;
    }
}

TEST(MessageBoxAnswer, WithoutAClickIsTheDefault) {
    const auto box = MakeMessageBox(MessageIcon::None, "text", "Retry|Skip", 2, nullptr);
    EXPECT_EQ(MessageBoxAnswer(*box, 2), 2);
}

TEST(MakeMessageBox, ShowsTheTextAsPlainTextWithItsLineBreaks) {
    const std::string usage =
        "Wrong parameters.\r\n\"Velmora\" /Source <source-file> /Target <target-file>";
    const auto box = MakeMessageBox(MessageIcon::None, usage, "OK", 1, nullptr);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text(),
              "Wrong parameters.\n\"Velmora\" /Source <source-file> /Target <target-file>");
}

TEST(QtMainView, ShowMessageReturnsTheButtonPressed) {
    struct Row {
        Qt::Key key;
        int defaultButton;
        int expected;
    };
    // Enter takes the default button, Escape the cancelling one.
    const std::array<Row, 3> rows{{
        {Qt::Key_Return, 1, 1},
        {Qt::Key_Return, 2, 2},
        {Qt::Key_Escape, 1, 2},
    }};
    QtMainView window;
    for (const Row& row : rows) {
        QString shownText;
        test::ModalAnswer answer([&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                shownText = box->text();
            }
            QTest::keyClick(modal, row.key);
        });
        const int pressed =
            window.ShowMessage(MessageIcon::Exclamation, "Target already exist. Overwrite?",
                               "OK|Cancel", row.defaultButton);
        EXPECT_TRUE(answer.Answered());
        EXPECT_EQ(shownText, "Target already exist. Overwrite?");
        EXPECT_EQ(pressed, row.expected) << row.key << " default " << row.defaultButton;
    }
}

}  // namespace
}  // namespace velmora
