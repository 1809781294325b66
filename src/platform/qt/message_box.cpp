// Builds the program's modal message box: icon, text and a row of numbered buttons.
#include "platform/qt/message_box.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QString>
#include <QVariant>

namespace velmora {

namespace {

// Where a button's number is kept: the widget orders buttons by role, not as added.
constexpr const char* kNumberProperty = "velmoraButtonNumber";

QMessageBox::Icon QtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Stop:
            return QMessageBox::Critical;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::ButtonRole RoleOf(const QString& label) {
    const QString word = label.trimmed().toLower();
    if (word == u"ok") {
        return QMessageBox::AcceptRole;
    }
    if (word == u"cancel") {
        return QMessageBox::RejectRole;
    }
    if (word == u"yes") {
        return QMessageBox::YesRole;
    }
    if (word == u"no") {
        return QMessageBox::NoRole;
    }
    return QMessageBox::ActionRole;
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(MessageIcon icon, const std::string& text,
                                            const std::string& buttons, int defaultButton,
                                            QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(QStringLiteral("Velmora"));
    box->setIcon(QtIcon(icon));
    box->setTextFormat(Qt::PlainText);
    box->setText(
        QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    const QStringList labels = QString::fromStdString(buttons).split(u'|');
    QPushButton* cancelling = nullptr;
    QPushButton* only = nullptr;
    for (qsizetype i = 0; i < labels.size(); ++i) {
        const QMessageBox::ButtonRole role = RoleOf(labels[i]);
        QPushButton* button = box->addButton(labels[i], role);
        button->setProperty(kNumberProperty, static_cast<int>(i + 1));
        if (i + 1 == defaultButton) {
            box->setDefaultButton(button);
        }
        if (role == QMessageBox::RejectRole || role == QMessageBox::NoRole) {
            cancelling = button;
        }
        only = labels.size() == 1 ? button : nullptr;
    }
    if (cancelling == nullptr) {
        cancelling = only;
    }
    if (cancelling != nullptr) {
        box->setEscapeButton(cancelling);
    }
    return box;
}

int MessageBoxAnswer(const QMessageBox& box, int defaultButton) {
    const QAbstractButton* clicked = box.clickedButton();
    if (clicked != nullptr) {
        const QVariant number = clicked->property(kNumberProperty);
        if (number.isValid()) {
            return number.toInt();
        }
    }
    return defaultButton;
}

}  // namespace velmora
