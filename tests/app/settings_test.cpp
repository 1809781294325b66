// velmora.ini: the silence check box restored and stored with private-profile semantics.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/window_events.h"
#include "support/test_support.h"
#include "ui/recording_view.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ReadTextFile;
using test::RecordingView;
using test::ScratchDir;
using test::WriteTextFile;

// A window run (or a batch run) whose settings file is at path.
ProgramState RunWith(const std::string& path, bool batch = false) {
    ProgramState state;
    state.SettingsPath = path;
    state.BatchMode = batch;
    return state;
}

// A view whose check box is in neither state, so a load that does nothing shows.
RecordingView FreshView() {
    RecordingView view;
    view.addSilent = -1;
    return view;
}

Settings Box(int addSilentValue, const std::string& lastFolder = {}) {
    Settings settings;
    settings.addSilentValue = addSilentValue;
    settings.lastFolder = lastFolder;
    return settings;
}

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
    ProgramState run = RunWith(path);
    RecordingView view = FreshView();
    frm_WinMain_Load(view, run);
    EXPECT_EQ(view.addSilent, 1);
    EXPECT_FALSE(fs::exists(path)) << "loading must not create the file";
    frm_WinMain_Close(view, run);
    EXPECT_EQ(Lines(ReadTextFile(path)), (std::vector<std::string>{"[Settings]", "Add Silence=1"}));
    EXPECT_TRUE(view.messages.empty());
}

TEST(Settings, StoredZeroStartsUnchecked) {
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    ProgramState run = RunWith(path);
    WriteTextFile(path, "[Settings]\r\nAdd Silence=0\r\n");
    RecordingView view = FreshView();
    frm_WinMain_Load(view, run);
    EXPECT_EQ(view.addSilent, 0);
}

TEST(Settings, UncheckingAndClosingIsRememberedNextRun) {
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    ProgramState run = RunWith(path);
    RecordingView first = FreshView();
    frm_WinMain_Load(first, run);
    first.addSilent = 0;
    first.repair = true;
    frm_WinMain_Close(first, run);
    RecordingView second = FreshView();
    frm_WinMain_Load(second, run);
    EXPECT_EQ(second.addSilent, 0);
    EXPECT_TRUE(second.repair);
    second.addSilent = 1;
    second.repair = false;
    frm_WinMain_Close(second, run);
    RecordingView third = FreshView();
    frm_WinMain_Load(third, run);
    EXPECT_EQ(third.addSilent, 1);
    EXPECT_FALSE(third.repair);
    // Once stored, the repair box stays in the file.
    EXPECT_EQ(Lines(ReadTextFile(path)),
              (std::vector<std::string>{"[Settings]", "Add Silence=1", "Repair=0"}));
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
        EXPECT_EQ(LoadSettings(path).addSilentValue, row.expected) << "file: " << row.fileText;
        // Every close saves the box as the start read it: once the file holds that value,
        // it stays byte for byte.
        ASSERT_TRUE(SaveSettings(path, Box(row.expected))) << "file: " << row.fileText;
        const std::string saved = ReadTextFile(path);
        ASSERT_TRUE(SaveSettings(path, Box(row.expected))) << "file: " << row.fileText;
        EXPECT_EQ(ReadTextFile(path), saved) << "file: " << row.fileText;
    }
}

TEST(Settings, WindowRunsKeepTheFolderAndTheSizeBatchRunsOnlyTheBox) {
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    ProgramState window = RunWith(path);
    RecordingView view;
    window.LastFolder = "/films/new";
    view.size = WindowSize{900, 700};
    frm_WinMain_Close(view, window);
    EXPECT_EQ(Lines(ReadTextFile(path)),
              (std::vector<std::string>{"[Settings]", "Add Silence=1", "Last Folder=/films/new",
                                        "Window Size=900x700"}));
    ProgramState batch = RunWith(path, true);
    RecordingView batchView;
    batchView.addSilent = 0;
    batchView.size = WindowSize{300, 200};
    batch.LastFolder = "/elsewhere";
    frm_WinMain_Close(batchView, batch);
    // Laid out by hand, the same values: closing leaves the file byte for byte.
    const std::string byHand = ReadTextFile(path) + "; mine\n";
    WriteTextFile(path, byHand);
    frm_WinMain_Close(batchView, batch);
    ProgramState next = RunWith(path);
    RecordingView nextView = FreshView();
    frm_WinMain_Load(nextView, next);
    EXPECT_EQ(nextView.addSilent, 0);
    EXPECT_EQ(next.LastFolder, "/films/new");
    EXPECT_EQ(nextView.size, (WindowSize{900, 700}));
    frm_WinMain_Close(nextView, next);
    EXPECT_EQ(ReadTextFile(path), byHand);
}

TEST(Settings, SizesAndFoldersTheFileCannotHoldAreLeftOut) {
    const std::vector<std::pair<std::string, std::optional<WindowSize>>> sizes = {
        {"900x700", WindowSize{900, 700}}, {" 640X480\t", WindowSize{640, 480}},
        {"0x480", std::nullopt},           {"-5x480", std::nullopt},
        {"900x", std::nullopt},            {"x700", std::nullopt},
        {"900x700x1", std::nullopt},       {"+900x700", std::nullopt},
        {"99999999x1", std::nullopt},      {"wide", std::nullopt},
    };
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    for (const auto& [text, size] : sizes) {
        WriteTextFile(path, "[Settings]\nWindow Size=" + text + "\n");
        EXPECT_EQ(LoadSettings(path).windowSize, size) << text;
    }
    // Readers take blanks off the ends, and a line break would start a line of its own.
    for (const std::string folder : {" /lead", "/trail ", "/two\n[Other]\nlines"}) {
        fs::remove(path);
        ASSERT_TRUE(SaveSettings(path, Box(0, folder)));
        EXPECT_EQ(Lines(ReadTextFile(path)),
                  (std::vector<std::string>{"[Settings]", "Add Silence=0"}));
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
    ASSERT_TRUE(SaveSettings(path, Box(0)));
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
    EXPECT_EQ(LoadSettings(path).addSilentValue, 0);
}

TEST(Settings, SavingAddsTheSectionToAnExistingFile) {
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    WriteTextFile(path, "[Other]\nColour=blue\n");
    ASSERT_TRUE(SaveSettings(path, Box(1)));
    EXPECT_EQ(Lines(ReadTextFile(path)),
              (std::vector<std::string>{"[Other]", "Colour=blue", "[Settings]", "Add Silence=1"}));
}

TEST(Settings, SavingLeavesOneEntryOfTheKey) {
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    WriteTextFile(path, "[Settings]\nAdd Silence=0\nADD SILENCE=0\n");
    ASSERT_TRUE(SaveSettings(path, Box(1)));
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
        EXPECT_FALSE(SaveSettings(path, Box(1)));
        EXPECT_FALSE(SaveSettings(path, Box(1)));
        EXPECT_EQ(ReadTextFile(path), text);
    }
}

TEST(Settings, StoresOnlyWhatTheBoxDid) {
    // A grey box adds no silence, so it is stored as unchecked.
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    const std::vector<std::pair<int, int>> rows = {{1, 1}, {0, 0}, {2, 0}, {-1, 0}};
    for (const auto& [boxValue, stored] : rows) {
        ASSERT_TRUE(SaveSettings(path, Box(boxValue)));
        EXPECT_EQ(LoadSettings(path).addSilentValue, stored) << "box value " << boxValue;
    }
}

TEST(Settings, UnreadableFileGivesTheDefaultAndIsLeftAlone) {
    // A folder where the file should be: it can be neither read nor written.
    const ScratchDir dir;
    const std::string path = dir.File("velmora.ini");
    ProgramState run = RunWith(path);
    fs::create_directory(path);
    test::WriteTextFile(fs::path(path) / "keep.txt", "x");
    RecordingView view = FreshView();
    frm_WinMain_Load(view, run);
    EXPECT_EQ(view.addSilent, 1);
    view.addSilent = 0;
    EXPECT_FALSE(SaveSettings(path, Box(0)));
    frm_WinMain_Close(view, run);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(ReadTextFile(fs::path(path) / "keep.txt"), "x");
    EXPECT_TRUE(view.messages.empty());
}

TEST(Settings, UnwritablePlaceFailsSilently) {
    // Places that cannot take a new file even for the superuser, which tests may run as:
    // a read-only system folder, and a folder that is really a file.
    const ScratchDir dir;
    test::WriteTextFile(dir.File("plain"), "not a folder");
    const std::vector<std::string> paths = {"/proc/velmora.ini", dir.File("plain") + "/velmora.ini",
                                            dir.File("plain") + "/deeper/velmora.ini"};
    for (const std::string& path : paths) {
        ProgramState run = RunWith(path);
        RecordingView view = FreshView();
        frm_WinMain_Load(view, run);
        EXPECT_EQ(view.addSilent, 1) << path;
        EXPECT_FALSE(SaveSettings(path, Box(0))) << path;
        frm_WinMain_Close(view, run);
        EXPECT_FALSE(fs::exists(path)) << path;
        EXPECT_TRUE(view.messages.empty()) << path;
    }
    EXPECT_EQ(ReadTextFile(dir.File("plain")), "not a folder");
}

TEST(Settings, FirstSaveMakesTheMissingFoldersPrivateToTheUser) {
    // $XDG_CONFIG_HOME/velmora does not exist before the first save, nor may ~/.config.
    const ScratchDir dir;
    const std::string path = dir.File("config/velmora/velmora.ini");
    ProgramState run = RunWith(path);
    RecordingView view = FreshView();
    view.addSilent = 0;
    frm_WinMain_Close(view, run);
    EXPECT_EQ(ReadTextFile(path), "[Settings]\nAdd Silence=0\n");
    for (const char* folder : {"config", "config/velmora"}) {
        EXPECT_EQ(fs::status(dir.File(folder)).permissions() & fs::perms::all, fs::perms::owner_all)
            << folder;
    }
}

}  // namespace
}  // namespace velmora
