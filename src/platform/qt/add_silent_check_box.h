// chk_AddSilent: a check box that also shows the greyed value 2, which only the program sets.
#pragma once

#include <QCheckBox>

namespace velmora {

class AddSilentCheckBox : public QCheckBox {
  public:
    explicit AddSilentCheckBox(const QString& text, QWidget* parent = nullptr);

    // 0 unchecked, 1 checked, 2 greyed; other values read as unchecked.
    [[nodiscard]] int Value() const;
    void SetValue(int value);

  protected:
    // A click on the greyed box checks it and leaves the grey state behind for good, so the
    // user only ever cycles between checked and unchecked.
    void nextCheckState() override;
};

}  // namespace velmora
