// Builds Qt's Open and Save dialogs from the window logic's dialog settings.
#include "platform/qt/file_dialog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velmora {

namespace {

QString CaseVariants(const QString& patterns) {
    QStringList variants;
    for (const QString& pattern : patterns.split(u';', Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        for (const QString& variant : {trimmed, trimmed.toLower(), trimmed.toUpper()}) {
            if (!variant.isEmpty() && !variants.contains(variant)) {
                variants.append(variant);
            }
        }
    }
    return variants.join(u' ');
}

}  // namespace

QStringList QtNameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        filters.append(parts[i] + QStringLiteral(" (") + CaseVariants(parts[i + 1]) +
                       QStringLiteral(")"));
    }
    return filters;
}

std::unique_ptr<QFileDialog> MakeFileDialog(const FileDialogConfig& config, FileDialogKind kind,
                                            QWidget* parent, const QString& folder) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setWindowTitle(QString::fromStdString(config.title));
    if (kind == FileDialogKind::Open) {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode((config.flags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                                    : QFileDialog::AnyFile);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setOption(QFileDialog::DontConfirmOverwrite,
                          (config.flags & OFN_OVERWRITEPROMPT) == 0);
    }
    // Qt's own dialog would match the patterns exactly if asked to; it must not.
    dialog->setFilter(dialog->filter() & ~QDir::CaseSensitive);

    const QStringList filters = QtNameFilters(config.filter);
    dialog->setNameFilters(filters);
    if (config.selectedFilter >= 1 && config.selectedFilter <= filters.size()) {
        dialog->selectNameFilter(filters[config.selectedFilter - 1]);
    }
    // The folder of the name in the box, else the last one used (which may be gone since).
    for (const QString& start : {folder, QFile::decodeName(config.folder.c_str())}) {
        if (!start.isEmpty() && QFileInfo(start).isDir()) {
            dialog->setDirectory(start);
            break;
        }
    }
    dialog->selectFile(QString::fromStdString(config.initialName));
    return dialog;
}

std::optional<std::string> RunFileDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(chosen.first()).toStdString();
}

}  // namespace velmora
