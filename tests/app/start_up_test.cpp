// Start-up and the batch run against a window that logs what was done to it, in order.
#include "app/start_up.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/event_log_view.h"
#include "app/posix_arguments.h"
#include "app/window_events.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::ScratchDir;

constexpr std::int64_t kFrame = 1792;  // 48 kHz, 448 kbit/s AC-3

const std::string kUsageLog = "message 0 OK 1: " + std::string(kUsageMessage);
std::string NoSourceLog(const std::string& name) {
    return "message 0 OK 1: Source file \"" + name + "\" does not exist.";
}

class StartUpTest : public testing::Test {
  protected:
    std::string MakeAc3(const std::string& name, std::int64_t frames) {
        const std::string path = dir.File(name);
        test::WriteFile(path, test::BuildFrames(test::Ac3Header(0x1E), kFrame, frames));
        return path;
    }

    StartUpResult Run(const std::vector<std::string>& arguments) {
        return StartUp(ReadArguments(arguments), window);
    }

    ScratchDir dir;
    ProgramState state = InitGlobals(dir.Path().string());
    test::EventLogView view;
    MainWindow window{state, view};
};

TEST(InitGlobals, PutsTheSettingsFileBesideTheProgram) {
    // With the system's own separator.
    const std::vector<std::pair<std::string, std::string>> rows = {
#ifdef _WIN32
        {"C:\\Program Files\\Velmora", "C:\\Program Files\\Velmora\\velmora.ini"},
        {"C:\\Velmora\\", "C:\\Velmora\\velmora.ini"},
#else
        {"/opt/velmora", "/opt/velmora/velmora.ini"},
        {"/opt/velmora/", "/opt/velmora/velmora.ini"},
        {"/", "/velmora.ini"},
#endif
    };
    for (const auto& [directory, path] : rows) {
        const ProgramState state = InitGlobals(directory);
        EXPECT_EQ(state.SettingsPath, path);
        EXPECT_TRUE(state.SourceName.empty());
        EXPECT_TRUE(state.TargetName.empty());
        EXPECT_FALSE(state.BatchMode);
        EXPECT_EQ(state.streamInfo.FrameLength, 0);
        EXPECT_EQ(state.streamInfo.NominalBitRate, 0);
        EXPECT_EQ(state.streamInfo.FramesPerSecond, 0.0f);
    }
}

TEST_F(StartUpTest, WithoutArgumentsOnlyShowsTheWindow) {
    const StartUpResult result = Run({});
    EXPECT_EQ(view.log, (std::vector<std::string>{"shown"}));
    EXPECT_FALSE(result.programEnds);
    EXPECT_EQ(result.exitStatus, kExitSuccess);
    EXPECT_FALSE(state.BatchMode);
}

TEST_F(StartUpTest, BareNameShowsTheWindowWithTheSourceChosen) {
    const std::string source = MakeAc3("my clip.ac3", 10);
    const StartUpResult result = Run({source});
    ASSERT_GE(view.log.size(), 2U);
    EXPECT_EQ(view.log[0], "shown");
    EXPECT_EQ(view.log[1], "ed_Source=" + source);
    EXPECT_EQ(view.Text(TextBox::ed_Target), dir.File("my clip_fix.ac3"));
    EXPECT_NE(view.Text(TextBox::ed_Info), "");
    EXPECT_TRUE(view.writeEnabled);
    EXPECT_FALSE(result.programEnds);
    EXPECT_FALSE(state.BatchMode);
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_FALSE(fs::exists(dir.File("my clip_fix.ac3")));
}

TEST_F(StartUpTest, BareNameThatDoesNotExistLeavesWriteDisabled) {
    const StartUpResult result = Run({dir.File("gone.ac3")});
    EXPECT_EQ(view.Text(TextBox::ed_Source), dir.File("gone.ac3"));
    EXPECT_FALSE(view.writeEnabled);
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_FALSE(result.programEnds);
}

TEST_F(StartUpTest, MissingSwitchShowsOnlyTheUsageMessage) {
    const std::vector<std::vector<std::string>> rows = {
        {"/Target", "b.ac3", "/Startdelay", "0"},
        {"/Source", "a.ac3", "/Startdelay", "0", "/Close"},
        {"/Source", "a.ac3", "/Target", "b.ac3"},
    };
    for (const auto& arguments : rows) {
        view.log.clear();
        const StartUpResult result = Run(arguments);
        // Never shown, nothing analysed or written.
        EXPECT_EQ(view.log, (std::vector<std::string>{kUsageLog}));
        EXPECT_TRUE(result.programEnds);
        EXPECT_EQ(result.exitStatus, kExitWrongParameters);
        EXPECT_TRUE(state.BatchMode);
    }
}

struct WrongRow {
    std::vector<std::string> arguments;
    int exitStatus;
    std::string message;  // a piece of the one message shown
    bool hasWindow = true;
};

// Mistakes that once passed in silence with exit status 0: each ends the run with a message
// that names the switch and the value, before anything is analysed or written.
TEST_F(StartUpTest, WrongParametersEndTheRunNamingTheMistake) {
    const std::string in = MakeAc3("in.ac3", 10);
    const std::string out = dir.File("out.ac3");
    const auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> arguments = {"/Source", in, "/Target", out};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    };
    const std::vector<WrongRow> rows = {
        {with({"/Startdelay", "abc"}), 2, "/Startdelay \"abc\" is not a whole number"},
        {with({"/Startdelay", "--5"}), 2, "/Startdelay \"--5\" is not"},
        {with({"/Startdelay", "+-5"}), 2, "/Startdelay \"+-5\" is not"},
        {with({"/Startdelay", "0x10"}), 2, "/Startdelay \"0x10\" is not"},
        {with({"/Startdelay", "1e9"}), 2, "/Startdelay \"1e9\" is not"},
        {with({"/Startdelay", "12.6"}), 2, "/Startdelay \"12.6\" is not"},
        {with({"/Startdelay", "-40ms"}), 2, "/Startdelay \"-40ms\" is not"},
        {with({"/Startdelay", " 5"}), 2, "/Startdelay \" 5\" is not"},
        {with({"/Startdelay", "\u2212" "40"}), 2, "/Startdelay \"\u2212" "40\" is not"},
        {with({"/Startdelay", "2147483648"}), 2, "/Startdelay \"2147483648\" is not"},
        {with({"/Startdelay", "0", "/Enddelay", "x"}), 2, "/Enddelay \"x\" is not"},
        {with({"/Startdelay", ""}), 2, "/Startdelay needs a value"},
        {with({"/Startdelay="}), 2, "/Startdelay needs a value"},
        {with({"/Startdelay"}), 2, "/Startdelay needs a value"},
        {with({"/Startdelay", "/Hidden"}), 2, "/Startdelay needs a value, but is followed by "
                                              "the switch \"/Hidden\""},
        {{"/Source", in, "/Target", "/Hidden", "/Startdelay", "0"}, 2,
         "/Target needs a value, but is followed by the switch \"/Hidden\""},
        {with({"/Startdelay", "0", "/Enddleay", "-2000"}), 2, "unknown switch \"/Enddleay\""},
        {with({"/Startdelay", "0", "/Closed"}), 2, "unknown switch \"/Closed\""},
        {with({"/Startdelay", "0", "/mnt/no such folder/x"}), 2,
         "\"/mnt/no such folder/x\" is no switch and no existing file"},
        {with({"/Startdelay", "0", "/Startdelay", "-100"}), 2, "/Startdelay is given twice"},
        {with({"/Startdelay", "0", "/Hidden", "/HIDDEN"}), 2, "/Hidden is given twice"},
        {with({"/Startdelay", "0", "/Hidden=no"}), 2, "/Hidden takes no value, but was given \"no\""},
        {with({"/Startdelay", "0", "/Silence", "/Nosilence"}), 2,
         "/Silence and /Nosilence contradict each other"},
        {with({"/Startdelay", "0", "/Repair", "/Norepair"}), 2,
         "/Repair and /Norepair contradict each other"},
        {{"/Enddleay"}, 2, "unknown switch \"/Enddleay\""},
        {with({"/Startdelay", "0", "/Hidden", "extra.ac3"}), 2,
         "\"extra.ac3\" is no switch and no switch's value"},
        // Not wrong parameters, but also never silent: the source is missing.
        {{"/Source", dir.File("gone.ac3"), "/Target", out, "/Startdelay", "0"}, 1,
         "Source file \"" + dir.File("gone.ac3") + "\" does not exist."},
        {{dir.File("gone.ac3")}, 1, "Source file \"" + dir.File("gone.ac3") + "\" does not exist.",
         false},
    };
    for (const WrongRow& row : rows) {
        const std::string why = testing::PrintToString(row.arguments);
        view.log.clear();
        const StartUpResult result = StartUp(ReadArguments(row.arguments), window, row.hasWindow);
        EXPECT_TRUE(result.programEnds) << why;
        EXPECT_EQ(result.exitStatus, row.exitStatus) << why;
        const std::vector<std::string> messages = view.Messages();
        ASSERT_EQ(messages.size(), 1U) << why;
        EXPECT_NE(messages[0].find(row.message), std::string::npos) << why << ": " << messages[0];
        if (row.exitStatus == kExitWrongParameters) {
            // A plain box: no icon, one OK button.
            EXPECT_TRUE(messages[0].starts_with("message 0 OK 1: Wrong parameters: ")) << why;
            EXPECT_TRUE(messages[0].ends_with("\r\n" + std::string(kUsageLine))) << why;
        }
        EXPECT_EQ(view.Find("ed_Info set"), -1) << why << ": nothing is analysed";
        EXPECT_FALSE(fs::exists(out)) << why;
    }
}

TEST_F(StartUpTest, MissingSourceEndsTheProgram) {
    const StartUpResult shown =
        Run({"/Source", dir.File("gone.ac3"), "/Target", dir.File("out.ac3"), "/Startdelay", "0"});
    EXPECT_EQ(view.log,
              (std::vector<std::string>{"shown", "events", NoSourceLog(dir.File("gone.ac3"))}));
    EXPECT_TRUE(shown.programEnds);
    EXPECT_EQ(shown.exitStatus, kExitWriteFailed);
    EXPECT_EQ(state.SourceName, dir.File("gone.ac3"));

    test::EventLogView hiddenView;
    MainWindow hiddenWindow(state, hiddenView);
    // Two blanks after /Source give an empty name, which no file has.
    const StartUpResult hidden =
        StartUp(ReadRawCommandLine("\"velmora.exe\" /Source  /Target b.ac3 /Startdelay 0 /Hidden"),
                hiddenWindow);
    EXPECT_EQ(hiddenView.log, (std::vector<std::string>{NoSourceLog("")}));
    EXPECT_TRUE(hidden.programEnds);
    EXPECT_EQ(hidden.exitStatus, kExitWriteFailed);
    EXPECT_FALSE(fs::exists(dir.File("out.ac3")));
}

TEST_F(StartUpTest, BatchFillsTheBoxesInOrderThenWrites) {
    const std::string source = MakeAc3("clip DELAY -40ms.ac3", 10);
    const std::string target = dir.File("given.ac3");
    const StartUpResult result = Run({"/Source", source, "/Target", target, "/Startdelay", "-64",
                                      "/Enddelay", "32", "/Silence"});

    const std::vector<std::string> order = {
        "shown",
        "events",
        "ed_Source=" + source,
        "ed_Delay=-40",                                       // taken from the name by SourceChosen
        "ed_Target=" + dir.File("clip DELAY -40ms_fix.ac3"),  // proposed
        "ed_Info set",                                        // the analysis
        "ed_Target=" + target,                                // replaces the proposal
        "ed_Delay=-64",                                       // replaces the delay from the name
        "ed_EndDelay=32",
        "chk_AddSilent=1",
        "ed_Info emptied",  // the Write operation starts
    };
    long previous = -1;
    for (const std::string& step : order) {
        const long at = view.Find(step);
        EXPECT_GT(at, previous) << step;
        previous = std::max(previous, at);
    }
    EXPECT_EQ(state.TargetName, target);
    EXPECT_TRUE(state.BatchMode);
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_FALSE(result.programEnds);
    EXPECT_EQ(result.exitStatus, kExitSuccess);
    // -64 ms cuts two 32 ms frames at the start, +32 ms adds one at the end.
    EXPECT_EQ(fs::file_size(target), static_cast<std::uintmax_t>((10 - 2 + 1) * kFrame));
    EXPECT_TRUE(fs::exists(dir.File("given.txt")));
}

TEST_F(StartUpTest, BatchOverwritesWithoutAQuestionForTheRestOfTheRun) {
    const std::string source = MakeAc3("in.ac3", 10);
    const std::string target = dir.File("out.ac3");
    test::WriteTextFile(target, "an older target");
    const StartUpResult result = Run({"/Source", source, "/Target", target, "/Startdelay", "0"});
    EXPECT_EQ(result.exitStatus, kExitSuccess);
    EXPECT_EQ(test::ReadFile(target), test::ReadFile(source));
    EXPECT_TRUE(view.Messages().empty());

    // The window stays open in batch mode: a later press of Write does not ask either.
    test::WriteTextFile(target, "changed meanwhile");
    EXPECT_EQ(window.cmd_Write_Click(), WriteRun::Written);
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_EQ(test::ReadFile(target), test::ReadFile(source));
}

TEST_F(StartUpTest, HiddenKeepsTheWindowHiddenAndEnds) {
    const std::string source = MakeAc3("in.ac3", 10);
    const StartUpResult result =
        Run({"/Source", source, "/Target", dir.File("out.ac3"), "/Startdelay", "0", "/Hidden"});
    EXPECT_EQ(view.Find("shown"), -1);
    // The only passes over events are the writer's, none before the write starts.
    EXPECT_GT(view.Find("events"), view.Find("ed_Info emptied"));
    EXPECT_FALSE(view.visible);
    EXPECT_TRUE(result.programEnds);
    EXPECT_EQ(result.exitStatus, kExitSuccess);
}

TEST_F(StartUpTest, CloseEndsAfterTheWrite) {
    const std::string source = MakeAc3("in.ac3", 10);
    const StartUpResult result =
        Run({"/Source", source, "/Target", dir.File("out.ac3"), "/Startdelay", "0", "/Close"});
    EXPECT_TRUE(view.visible);
    EXPECT_TRUE(result.programEnds);
    EXPECT_EQ(result.exitStatus, kExitSuccess);
}

TEST_F(StartUpTest, AbsentOptionalSwitchesLeaveTheirBoxesAlone) {
    const std::string source = MakeAc3("in.ac3", 10);
    view.texts[static_cast<std::size_t>(TextBox::ed_EndDelay)] = "25";
    const std::vector<int> storedStates = {0, 1};
    for (const int stored : storedStates) {
        view.addSilent = stored;
        view.log.clear();
        const StartUpResult result =
            Run({"/Source", source, "/Target", dir.File("out.ac3"), "/Startdelay", "0"});
        EXPECT_EQ(result.exitStatus, kExitSuccess);
        EXPECT_EQ(view.Text(TextBox::ed_EndDelay), "25");
        EXPECT_EQ(view.Find("ed_EndDelay="), -1);
        EXPECT_EQ(view.addSilent, stored);
        EXPECT_EQ(view.Find("chk_AddSilent="), -1);
    }
}

TEST_F(StartUpTest, FailedOrRefusedWritesExitWithOne) {
    const std::string good = MakeAc3("good.ac3", 10);
    test::WriteFile(dir.File("noise.ac3"), Bytes(4 * kFrame, 0x00));
    const std::vector<std::vector<std::string>> rows = {
        // No usable frame header.
        {"/Source", dir.File("noise.ac3"), "/Target", dir.File("a.ac3"), "/Startdelay", "0"},
        // The target is the source itself.
        {"/Source", good, "/Target", good, "/Startdelay", "0"},
        // The target cannot be created.
        {"/Source", good, "/Target", dir.File("no folder/b.ac3"), "/Startdelay", "0"},
    };
    for (const auto& arguments : rows) {
        view.log.clear();
        std::vector<std::string> closing = arguments;
        closing.push_back("/Close");
        const StartUpResult result = Run(closing);
        EXPECT_TRUE(result.programEnds) << arguments[3];
        EXPECT_EQ(result.exitStatus, kExitWriteFailed) << arguments[3];
        EXPECT_EQ(view.Messages().size(), 1U) << arguments[3];
    }
    EXPECT_EQ(test::ReadFile(good), test::BuildFrames(test::Ac3Header(0x1E), kFrame, 10));
}

struct SilenceRow {
    int stored;
    std::string switchGiven;  // empty: neither switch
    int box;
};

TEST_F(StartUpTest, SilenceSwitchesOverrideTheStoredStateForThisRunOnly) {
    const std::string source = MakeAc3("in.ac3", 10);
    const std::vector<SilenceRow> rows = {
        {0, "/Silence", 1}, {1, "/Nosilence", 0}, {1, "/nosilence", 0}, {0, "", 0}, {1, "", 1},
    };
    for (const SilenceRow& row : rows) {
        const std::string stored = "[Settings]\nAdd Silence=" + std::to_string(row.stored) + "\n";
        test::WriteTextFile(state.SettingsPath, stored);
        frm_WinMain_Load(view, state);
        std::vector<std::string> arguments = {"/Source", source, "/Target", dir.File("out.ac3"),
                                              "/Startdelay", "0"};
        if (!row.switchGiven.empty()) {
            arguments.push_back(row.switchGiven);
        }
        const StartUpResult result = Run(arguments);
        EXPECT_EQ(result.exitStatus, kExitSuccess) << row.switchGiven;
        EXPECT_FALSE(result.programEnds);
        EXPECT_EQ(view.addSilent, row.box) << row.switchGiven;
        // The run itself stores nothing; the user closing the window does.
        EXPECT_EQ(test::ReadTextFile(state.SettingsPath), stored) << row.switchGiven;
        frm_WinMain_Close(view, state);
        test::EventLogView nextRun;
        frm_WinMain_Load(nextRun, state);
        EXPECT_EQ(nextRun.addSilent, row.box) << row.switchGiven;
    }
}

}  // namespace
}  // namespace velmora
