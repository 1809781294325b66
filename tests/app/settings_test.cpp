// velmora.ini: the silence check box restored and stored with private-profile semantics.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/window_events.h"
#include "support/test_support.h"
#include "ui/main_view.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ReadTextFile;
using test::ScratchDir;
using test::WriteTextFile;

// Only the check box matters to the two handlers.
class CheckBoxView : public MainView {
  public:
    std::string Text(TextBox) const override { return {}; }
    void SetText(TextBox, const std::string&) override {}
    int AddSilentValue() const override { return addSilent; }
    void SetAddSilentValue(int value) override { addSilent = value; }
    bool WriteEnabled() const override { return false; }
    void SetWriteEnabled(bool) override {}
    void SetProgressMaximum(std::int64_t) override {}
    void SetProgressValue(std::int64_t) override {}
    void SetVisible(bool) override {}
    int ShowMessage(MessageIcon, const std::string&, const std::string&, int) override {
        ++messages;
        return 1;
    }
    std::optional<std::string> ShowOpenDialog(const FileDialogConfig&) override { return {}; }
    std::optional<std::string> ShowSaveDialog(const FileDialogConfig&) override { return {}; }
    void ProcessPendingEvents() override {}
    void SetBusyPointer(bool) override {}

    int addSilent = -1;  // neither state, so a load that does nothing shows
    int messages = 0;
};

// The file's lines without blank ones, line ends of either kind.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (const char c : text) {
        if (c == '\n') {
            if (!line.empty()) {
                lines.push_back(line);
            }
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

TEST(Settings, FirstRunStartsCheckedAndCloseCreatesTheFile) {
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    CheckBoxView view;
    frm_WinMain_Load(view, path);
    EXPECT_EQ(view.addSilent, 1);
    EXPECT_FALSE(fs::exists(path)) << "loading must not create the file";
    frm_WinMain_Close(view, path);
    EXPECT_EQ(Lines(ReadTextFile(path)), (std::vector<std::string>{"[Settings]", "Add Silence=1"}));
    EXPECT_EQ(view.messages, 0);
}

TEST(Settings, StoredZeroStartsUnchecked) {
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    WriteTextFile(path, "[Settings]\r\nAdd Silence=0\r\n");
    CheckBoxView view;
    frm_WinMain_Load(view, path);
    EXPECT_EQ(view.addSilent, 0);
}

TEST(Settings, UncheckingAndClosingIsRememberedNextRun) {
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    CheckBoxView first;
    frm_WinMain_Load(first, path);
    first.addSilent = 0;
    frm_WinMain_Close(first, path);
    CheckBoxView second;
    frm_WinMain_Load(second, path);
    EXPECT_EQ(second.addSilent, 0);
    second.addSilent = 1;
    frm_WinMain_Close(second, path);
    CheckBoxView third;
    frm_WinMain_Load(third, path);
    EXPECT_EQ(third.addSilent, 1);
}

struct ValueRow {
    std::string fileText;
    int expected;
};

TEST(Settings, ReadsValuesAsTheirLeadingWholeNumber) {
    const std::vector<ValueRow> rows = {
        {"[Settings]\nAdd Silence=1\n", 1},
        {"[Settings]\nAdd Silence=0\n", 0},
        {"[Settings]\nAdd Silence =   0   \n", 0},
        {"[Settings]\n  Add Silence\t=\t1\t\n", 1},
        {"[Settings]\nAdd Silence=00\n", 0},
        {"[Settings]\nAdd Silence=+0\n", 0},
        {"[Settings]\nAdd Silence=-0\n", 0},
        {"[Settings]\nAdd Silence=007\n", 1},
        // Other numbers: checked; the grey state is never restored.
        {"[Settings]\nAdd Silence=2\n", 1},
        {"[Settings]\nAdd Silence=-1\n", 1},
        {"[Settings]\nAdd Silence=99999999999999999999999\n", 1},
        {"[Settings]\nAdd Silence=1abc\n", 1},
        // Not a number: 0.
        {"[Settings]\nAdd Silence=abc\n", 0},
        {"[Settings]\nAdd Silence=yes\n", 0},
        {"[Settings]\nAdd Silence=0x1\n", 0},
        // Nothing after "=": as if missing.
        {"[Settings]\nAdd Silence=\n", 1},
        {"[Settings]\nAdd Silence=   \n", 1},
        // Names without regard to case.
        {"[settings]\nadd silence=0\n", 0},
        {"[SETTINGS]\nADD SILENCE=0\n", 0},
        // Missing section or key, or a file that is no INI at all.
        {"[Other]\nAdd Silence=0\n", 1},
        {"[Settings]\nAddSilence=0\n", 1},
        {"Add Silence=0\n", 1},
        {"", 1},
        {"\x01\x02 not an ini file \xff", 1},
        // The first of two entries counts.
        {"[Settings]\nAdd Silence=0\nAdd Silence=1\n", 0},
        // Laid out by hand, with tabs and byte-order marks where the library moves them.
        {"\xEF\xBB\xBF\t; mine\t\xEF\xBB\xBF\n[Settings]\nAdd Silence=1\n", 1},
    };
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    for (const ValueRow& row : rows) {
        WriteTextFile(path, row.fileText);
        EXPECT_EQ(LoadSettings(path), row.expected) << "file: " << row.fileText;
        // Every close saves the box as the start read it: once the file holds that value,
        // it stays byte for byte.
        ASSERT_TRUE(SaveSettings(path, row.expected)) << "file: " << row.fileText;
        const std::string saved = ReadTextFile(path);
        ASSERT_TRUE(SaveSettings(path, row.expected)) << "file: " << row.fileText;
        EXPECT_EQ(ReadTextFile(path), saved) << "file: " << row.fileText;
    }
}

TEST(Settings, SavingKeepsEverythingElse) {
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    WriteTextFile(path,
                  "\xEF\xBB\xBF; written by hand\n"
                  "[Other]\n"
                  "Colour=blue\n"
                  "[settings]\n"
                  "; why this is off\n"
                  "add silence=1\n"
                  "Window=wide\n");
    ASSERT_TRUE(SaveSettings(path, 0));
    // The key found without regard to case is replaced where it stood; the library writes
    // it back in the program's spelling. The byte-order mark the file began with stays.
    const std::vector<std::string> lines = Lines(ReadTextFile(path));
    const std::vector<std::string> expected = {
        "\xEF\xBB\xBF; written by hand",
        "[Other]",
        "Colour=blue",
        "[settings]",
        "; why this is off",
        "Add Silence=0",
        "Window=wide",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(LoadSettings(path), 0);
}

TEST(Settings, SavingAddsTheSectionToAnExistingFile) {
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    WriteTextFile(path, "[Other]\nColour=blue\n");
    ASSERT_TRUE(SaveSettings(path, 1));
    EXPECT_EQ(Lines(ReadTextFile(path)),
              (std::vector<std::string>{"[Other]", "Colour=blue", "[Settings]", "Add Silence=1"}));
}

TEST(Settings, SavingLeavesOneEntryOfTheKey) {
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    WriteTextFile(path, "[Settings]\nAdd Silence=0\nADD SILENCE=0\n");
    ASSERT_TRUE(SaveSettings(path, 1));
    EXPECT_EQ(Lines(ReadTextFile(path)), (std::vector<std::string>{"[Settings]", "Add Silence=1"}));
}

TEST(Settings, ASectionLineWithoutItsBracketIsNeverRewritten) {
    // The library would carry such a line into the next and write the file back one line
    // longer on every close; the file is left exactly as it is instead. So is a file that it
    // would write back with one: it drops the line "x", and the byte-order mark that comes to
    // the start is taken off when read, leaving "[y=".
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    for (const std::string text :
         {"[Settings\nAdd Silence=0\n", "[g\nA=", "x\n\xEF\xBB\xBF[y=\n"}) {
        WriteTextFile(path, text);
        EXPECT_FALSE(SaveSettings(path, 1));
        EXPECT_FALSE(SaveSettings(path, 1));
        EXPECT_EQ(ReadTextFile(path), text);
    }
}

TEST(Settings, StoresOnlyWhatTheBoxDid) {
    // A grey box adds no silence, so it is stored as unchecked.
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    const std::vector<std::pair<int, int>> rows = {{1, 1}, {0, 0}, {2, 0}, {-1, 0}};
    for (const auto& [boxValue, stored] : rows) {
        ASSERT_TRUE(SaveSettings(path, boxValue));
        EXPECT_EQ(LoadSettings(path), stored) << "box value " << boxValue;
    }
}

TEST(Settings, UnreadableFileGivesTheDefaultAndIsLeftAlone) {
    // A folder where the file should be: it can be neither read nor written.
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    fs::create_directory(path);
    test::WriteTextFile(fs::path(path) / "keep.txt", "x");
    CheckBoxView view;
    frm_WinMain_Load(view, path);
    EXPECT_EQ(view.addSilent, 1);
    view.addSilent = 0;
    EXPECT_FALSE(SaveSettings(path, 0));
    frm_WinMain_Close(view, path);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(ReadTextFile(fs::path(path) / "keep.txt"), "x");
    EXPECT_EQ(view.messages, 0);
}

TEST(Settings, UnwritablePlaceFailsSilently) {
    // Places that cannot take a new file even for the superuser, which tests may run as:
    // a read-only system folder, and a folder that is really a file.
    const ScratchDir dir;
    test::WriteTextFile(dir.File("plain"), "not a folder");
    const std::vector<std::string> paths = {"/proc/velmora.ini", dir.File("plain") + "/velmora.ini",
                                            dir.File("plain") + "/deeper/velmora.ini"};
    for (const std::string& path : paths) {
        CheckBoxView view;
        frm_WinMain_Load(view, path);
        EXPECT_EQ(view.addSilent, 1) << path;
        EXPECT_FALSE(SaveSettings(path, 0)) << path;
        frm_WinMain_Close(view, path);
        EXPECT_FALSE(fs::exists(path)) << path;
        EXPECT_EQ(view.messages, 0) << path;
    }
    EXPECT_EQ(ReadTextFile(dir.File("plain")), "not a folder");
}

TEST(Settings, FirstSaveMakesTheMissingFoldersPrivateToTheUser) {
    // $XDG_CONFIG_HOME/velmora does not exist before the first save, nor may ~/.config.
    const ScratchDir dir;
    const std::string path = dir.File("config/velmora/velmora.ini");
    CheckBoxView view;
    view.addSilent = 0;
    frm_WinMain_Close(view, path);
    EXPECT_EQ(ReadTextFile(path), "[Settings]\nAdd Silence=0\n");
    for (const char* folder : {"config", "config/velmora"}) {
        EXPECT_EQ(fs::status(dir.File(folder)).permissions() & fs::perms::all, fs::perms::owner_all)
            << folder;
    }
}

}  // namespace
}  // namespace velmora
