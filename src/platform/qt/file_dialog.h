// Builds Qt's Open and Save dialogs from the window logic's dialog settings.
#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "ui/main_view.h"

namespace velmora {

enum class FileDialogKind { Open, Save };

// "AC3-Files|*.AC3|All known files|*.AC3;*.MPA" becomes
// {"AC3-Files (*.AC3 *.ac3)", "All known files (*.AC3 *.ac3 *.MPA *.mpa)"}. Linux names are
// case-sensitive and some dialogs match patterns exactly, so each pattern is also given in
// lower and upper case. A description without a pattern after it is dropped.
[[nodiscard]] QStringList QtNameFilters(const std::string& filter);

// The dialog set up but not shown, so that what it would offer can be checked. A folder
// that exists becomes the dialog's starting folder.
[[nodiscard]] std::unique_ptr<QFileDialog> MakeFileDialog(const FileDialogConfig& config,
                                                          FileDialogKind kind, QWidget* parent,
                                                          const QString& folder = {});

// Shows the dialog; the chosen name in the file system's encoding, or nothing when cancelled.
[[nodiscard]] std::optional<std::string> RunFileDialog(QFileDialog& dialog);

}  // namespace velmora
