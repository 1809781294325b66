// Builds the program's modal message box: icon, text and a row of numbered buttons.
#pragma once

#include <QMessageBox>
#include <memory>
#include <string>

#include "ui/main_view.h"

namespace velmora {

// The box set up but not shown. buttons holds labels separated by "|" ("OK|Cancel"), in
// the order that numbers them from 1; defaultButton is one of those numbers. The text is
// shown as plain text, so "<source-file>" in the usage line stays visible.
[[nodiscard]] std::unique_ptr<QMessageBox> MakeMessageBox(MessageIcon icon, const std::string& text,
                                                          const std::string& buttons,
                                                          int defaultButton, QWidget* parent);

// The 1-based number of the button that closed the box. Closing it by Escape or the title
// bar counts as the cancelling button, or as the default when it has none.
[[nodiscard]] int MessageBoxAnswer(const QMessageBox& box, int defaultButton);

}  // namespace velmora
