// The Open and Save dialogs as the window configures them, inspected without showing them.
#include "platform/qt/file_dialog.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QStringList>
#include <array>
#include <string>

#include "support/test_support.h"

namespace velmora {
namespace {

const FileDialogConfig kSourceDialog{
    .initialName = "test.file",
    .folder = "",
    .filter = "AC3-Files|*.AC3|MPA-Files|*.MPA|DTS-Files|*.DTS|All known files|*.AC3;*.MPA;*.DTS",
    .selectedFilter = 4,
    .title = "Open Source File",
    .flags = OFN_FILEMUSTEXIST,
};

const FileDialogConfig kTargetDialog{
    .initialName = "test.file",
    .folder = "",
    .filter = "AC3-Files|*.AC3|MPA-Files|*.MPA|All known files|*.AC3;*.MPA",
    .selectedFilter = 3,
    .title = "Open Target File",
    .flags = OFN_OVERWRITEPROMPT,
};

TEST(QtNameFilters, MapsPairsToQtFiltersWithBothLetterCases) {
    struct Row {
        std::string filter;
        QStringList expected;
    };
    const std::array<Row, 6> rows{{
        {kSourceDialog.filter,
         {"AC3-Files (*.AC3 *.ac3)", "MPA-Files (*.MPA *.mpa)", "DTS-Files (*.DTS *.dts)",
          "All known files (*.AC3 *.ac3 *.MPA *.mpa *.DTS *.dts)"}},
        {kTargetDialog.filter,
         {"AC3-Files (*.AC3 *.ac3)", "MPA-Files (*.MPA *.mpa)",
          "All known files (*.AC3 *.ac3 *.MPA *.mpa)"}},
        {"Streams|*.ac3", {"Streams (*.ac3 *.AC3)"}},
        {"All files|*", {"All files (*)"}},
        // A description left without its pattern names nothing.
        {"AC3-Files|*.AC3|Orphan", {"AC3-Files (*.AC3 *.ac3)"}},
        {"", {}},
    }};
    for (const Row& row : rows) {
        EXPECT_EQ(QtNameFilters(row.filter), row.expected) << row.filter;
    }
}

// A case-sensitive matcher, as some desktops' dialogs use, still finds upper- and
// lower-case names through the mapped patterns.
TEST(QtNameFilters, FindStreamsWhateverTheCaseOfTheirExtension) {
    test::ScratchDir dir;
    for (const char* name : {"a.ac3", "B.AC3", "c.mpa", "D.DTS", "e.dts", "f.wav", "g.ac3.txt"}) {
        test::WriteTextFile(dir.Path() / name, "x");
    }
    const QString all = QtNameFilters(kSourceDialog.filter).at(3);
    const QStringList patterns =
        all.mid(all.indexOf(u'(') + 1).chopped(1).split(u' ', Qt::SkipEmptyParts);
    const QStringList found =
        QDir(QString::fromStdString(dir.Path().string()))
            .entryList(patterns, QDir::Files | QDir::CaseSensitive, QDir::Name | QDir::IgnoreCase);
    EXPECT_EQ(found, QStringList({"a.ac3", "B.AC3", "c.mpa", "D.DTS", "e.dts"}));
}

TEST(MakeFileDialog, OpenDialogAsTheSourceButtonAsksForIt) {
    const auto dialog = MakeFileDialog(kSourceDialog, FileDialogKind::Open, nullptr);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), "Open Source File");
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog->nameFilters(), QtNameFilters(kSourceDialog.filter));
    EXPECT_EQ(dialog->selectedNameFilter(),
              "All known files (*.AC3 *.ac3 *.MPA *.mpa *.DTS *.dts)");
    ASSERT_FALSE(dialog->selectedFiles().isEmpty());
    EXPECT_TRUE(dialog->selectedFiles().first().endsWith("/test.file"));
    EXPECT_FALSE(dialog->filter().testFlag(QDir::CaseSensitive));
}

TEST(MakeFileDialog, SaveDialogAsTheTargetButtonAsksForIt) {
    const auto dialog = MakeFileDialog(kTargetDialog, FileDialogKind::Save, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Open Target File");
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dialog->selectedNameFilter(), "All known files (*.AC3 *.ac3 *.MPA *.mpa)");
    ASSERT_FALSE(dialog->selectedFiles().isEmpty());
    EXPECT_TRUE(dialog->selectedFiles().first().endsWith("/test.file"));
}

TEST(MakeFileDialog, FlagsDecideExistingFileAndOverwritePrompt) {
    struct Row {
        FileDialogKind kind;
        std::uint32_t flags;
        QFileDialog::FileMode mode;
        bool confirmsOverwrite;
    };
    const std::array<Row, 4> rows{{
        {FileDialogKind::Open, OFN_FILEMUSTEXIST, QFileDialog::ExistingFile, true},
        {FileDialogKind::Open, 0, QFileDialog::AnyFile, true},
        {FileDialogKind::Save, OFN_OVERWRITEPROMPT, QFileDialog::AnyFile, true},
        {FileDialogKind::Save, 0, QFileDialog::AnyFile, false},
    }};
    for (const Row& row : rows) {
        FileDialogConfig config = kTargetDialog;
        config.flags = row.flags;
        const auto dialog = MakeFileDialog(config, row.kind, nullptr);
        EXPECT_EQ(dialog->fileMode(), row.mode) << row.flags;
        if (row.kind == FileDialogKind::Save) {
            EXPECT_EQ(!dialog->testOption(QFileDialog::DontConfirmOverwrite), row.confirmsOverwrite)
                << row.flags;
        }
    }
}

TEST(MakeFileDialog, SelectedFilterOutOfRangeKeepsTheFirst) {
    for (const int selected : {0, 5, -1}) {
        FileDialogConfig config = kTargetDialog;
        config.selectedFilter = selected;
        const auto dialog = MakeFileDialog(config, FileDialogKind::Save, nullptr);
        EXPECT_EQ(dialog->selectedNameFilter(), "AC3-Files (*.AC3 *.ac3)") << selected;
    }
}

TEST(MakeFileDialog, StartsInTheFolderGivenWhenItExists) {
    test::ScratchDir dir;
    const QString folder = QString::fromStdString(dir.Path().string());
    const auto inFolder = MakeFileDialog(kSourceDialog, FileDialogKind::Open, nullptr, folder);
    EXPECT_EQ(inFolder->directory().absolutePath(), QDir(folder).absolutePath());

    const auto missing =
        MakeFileDialog(kSourceDialog, FileDialogKind::Open, nullptr, folder + "/gone");
    EXPECT_NE(missing->directory().absolutePath(), QDir(folder + "/gone").absolutePath());

    // No folder from the box: the last one used.
    FileDialogConfig last = kSourceDialog;
    last.folder = dir.Path().string();
    const auto inLast = MakeFileDialog(last, FileDialogKind::Open, nullptr, folder + "/gone");
    EXPECT_EQ(inLast->directory().absolutePath(), QDir(folder).absolutePath());
}

}  // namespace
}  // namespace velmora
