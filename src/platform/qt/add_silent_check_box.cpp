// chk_AddSilent: a check box that also shows the greyed value 2, which only the program sets.
#include "platform/qt/add_silent_check_box.h"

namespace velmora {

AddSilentCheckBox::AddSilentCheckBox(const QString& text, QWidget* parent)
    : QCheckBox(text, parent) {}

int AddSilentCheckBox::Value() const {
    switch (checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        case Qt::Unchecked:
            break;
    }
    return 0;
}

void AddSilentCheckBox::SetValue(int value) {
    if (value == 2) {
        setTristate(true);
        setCheckState(Qt::PartiallyChecked);
        return;
    }
    setTristate(false);
    setCheckState(value == 1 ? Qt::Checked : Qt::Unchecked);
}

void AddSilentCheckBox::nextCheckState() {
    if (checkState() == Qt::PartiallyChecked) {
        SetValue(1);
        return;
    }
    QCheckBox::nextCheckState();
}

}  // namespace velmora
