// The window's logic driven through a recording view: choices, the Write rule, Write itself.
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/files/file_names.h"
#include "silence/silent_frames.h"
#include "support/test_support.h"
#include "ui/recording_view.h"

namespace velmora {
namespace {

using test::Bytes;
using test::RecordingView;
using test::ScratchDir;

const Bytes kHeader448 = test::Ac3Header(0x1E);

class MainWindowTest : public testing::Test {
  protected:
    // Ten whole 448 kbit/s frames named as the test says.
    std::string MakeAc3(const std::string& name, std::int64_t frames = 10) {
        const std::string path = dir.File(name);
        test::WriteFile(path, test::BuildFrames(kHeader448, 1792, frames));
        return path;
    }

    ScratchDir dir;
    ProgramState state;
    RecordingView view;
    MainWindow window{state, view};
};

TEST_F(MainWindowTest, DialogsAreSetUpAsTheOriginalOnes) {
    window.cmd_Source_Click();
    window.cmd_Target_Click();
    ASSERT_EQ(view.openDialogs.size(), 1U);
    ASSERT_EQ(view.saveDialogs.size(), 1U);
    const FileDialogConfig& open = view.openDialogs[0];
    EXPECT_EQ(open.initialName, "test.file");
    EXPECT_EQ(open.filter,
              "AC3-Files|*.AC3;*.EAC3;*.EC3|MPA-Files|*.MPA;*.MP1;*.MP2;*.MP3;*.M2A|DTS-Files|*.DTS|"
              "AAC-Files|*.AAC;*.ADTS|WAV-Files|*.WAV;*.RF64;*.BW64|All known files|*.AC3;*.EAC3;"
              "*.EC3;*.MPA;*.MP1;*.MP2;*.MP3;*.M2A;*.DTS;*.AAC;*.ADTS;*.WAV;*.RF64;*.BW64");
    EXPECT_EQ(open.selectedFilter, 6);
    EXPECT_EQ(open.title, "Open Source File");
    EXPECT_EQ(open.flags, 0x1000U);
    const FileDialogConfig& save = view.saveDialogs[0];
    EXPECT_EQ(save.initialName, "test.file");
    EXPECT_EQ(save.filter,
              "AC3-Files|*.AC3;*.EAC3;*.EC3|MPA-Files|*.MPA;*.MP1;*.MP2;*.MP3;*.M2A|AAC-Files|"
              "*.AAC;*.ADTS|WAV-Files|*.WAV;*.RF64;*.BW64|All known files|*.AC3;*.EAC3;*.EC3;"
              "*.MPA;*.MP1;*.MP2;*.MP3;*.M2A;*.AAC;*.ADTS;*.WAV;*.RF64;*.BW64");
    EXPECT_EQ(save.selectedFilter, 5);
    EXPECT_EQ(save.title, "Open Target File");
    EXPECT_EQ(save.flags, 0x2U);
    EXPECT_EQ(open.folder + save.folder, "");
    // Then both open in the folder of the file chosen last, this run or (through the
    // settings) the one before.
    const std::string sub = dir.File("sub");
    std::filesystem::create_directory(sub);
    view.dialogAnswer = sub + "/out.ac3";
    window.cmd_Target_Click();
    window.cmd_Source_Click();
    // The same folder, in the system's own spelling (a drive letter on Windows).
    EXPECT_TRUE(std::filesystem::equivalent(PathFromUtf8(view.openDialogs.back().folder), sub));
    EXPECT_EQ(state.LastFolder, view.openDialogs.back().folder);
}

TEST_F(MainWindowTest, ChoosingASourceFillsTheWindow) {
    const std::string source = MakeAc3("Film AC3 DELAY -40ms.ac3");
    view.dialogAnswer = source;
    window.cmd_Source_Click();
    EXPECT_EQ(view.Text(TextBox::ed_Source), source);
    EXPECT_EQ(view.Text(TextBox::ed_Target), dir.File("Film.ac3"));
    EXPECT_EQ(view.Text(TextBox::ed_Delay), "-40");
    EXPECT_EQ(state.TargetName, dir.File("Film.ac3"));
    EXPECT_EQ(state.streamInfo.FrameLength, 1792);
    EXPECT_EQ(view.Text(TextBox::ed_Info)
                  .rfind("Source file information:\r\n\r\nSampling rate: 48 kHz", 0),
              0U);
    EXPECT_TRUE(view.writeEnabled);
    // Checked box and a 448 kbit/s stream: the stored silent frame is ready.
    EXPECT_TRUE(state.streamInfo.SilentFrameLoaded);
}

// A cancelled dialog, or a typed name that leads nowhere, leaves the earlier choice whole:
// names held, boxes and Write agree. A typed name that leads nowhere is named at once.
TEST_F(MainWindowTest, CancelledOrMistypedChoicesKeepTheEarlierOne) {
    const std::string typedGood = MakeAc3("typed.ac3", 4);
    std::filesystem::create_directory(dir.File("folder.ac3"));
    const struct {
        std::string what;
        std::function<void()> act;
        std::string source;
        std::string status;
    } rows[] = {
        {"Open cancelled", [&] { window.cmd_Source_Click(); }, dir.File("a.ac3"), ""},
        {"Save as cancelled", [&] { window.cmd_Target_Click(); }, dir.File("a.ac3"), ""},
        {"a typed name that does not exist",
         [&] { window.SourceTyped(dir.File("gone.ac3")); }, dir.File("a.ac3"),
         "Source file \"" + dir.File("gone.ac3") + "\" does not exist."},
        {"a typed folder", [&] { window.SourceTyped(dir.File("folder.ac3")); },
         dir.File("a.ac3"), ""},
        {"a typed stream", [&] { window.SourceTyped(typedGood); }, typedGood, ""},
    };
    for (const auto& row : rows) {
        view.dialogAnswer = MakeAc3("a.ac3");
        window.cmd_Source_Click();
        view.texts[TextBox::ed_Status] = "";
        view.dialogAnswer.reset();
        row.act();
        EXPECT_EQ(state.SourceName, row.source) << row.what;
        EXPECT_EQ(view.Text(TextBox::ed_Source), row.source) << row.what;
        EXPECT_EQ(state.TargetName, view.Text(TextBox::ed_Target)) << row.what;
        EXPECT_TRUE(view.writeEnabled) << row.what;
        EXPECT_EQ(view.Text(TextBox::ed_Status), row.status) << row.what;
    }
}

TEST_F(MainWindowTest, WriteButtonRule) {
    const std::string good = MakeAc3("a.ac3");
    test::WriteFile(dir.File("bad.ac3"), Bytes(5000, 0x55));
    const struct {
        std::string source;
        std::string target;
        bool enabled;
    } rows[] = {
        {good, dir.File("out.ac3"), true},
        {good, good, false},                               // same name
        {good, "", false},                                 // no target
        {dir.File("gone.ac3"), dir.File("o.ac3"), false},  // no source
        {dir.File("bad.ac3"), dir.File("o.ac3"), false},   // no usable frame length
    };
    for (const auto& row : rows) {
        state.SourceName = row.source;
        window.SourceChosen();
        state.TargetName = row.target;
        window.UpdateWriteButton();
        EXPECT_EQ(view.writeEnabled, row.enabled) << row.source << " -> " << row.target;
    }
}

TEST_F(MainWindowTest, ABadSourceAfterAGoodOneDisablesWrite) {
    view.dialogAnswer = MakeAc3("a.ac3");
    window.cmd_Source_Click();
    ASSERT_TRUE(view.writeEnabled);
    test::WriteFile(dir.File("bad.ac3"), Bytes(5000, 0x55));
    view.dialogAnswer = dir.File("bad.ac3");
    window.cmd_Source_Click();
    EXPECT_FALSE(view.writeEnabled);
    EXPECT_EQ(view.Text(TextBox::ed_Info),
              "Source file information:\r\n\r\nNo AC3 information, or header corrupt.");
}

TEST_F(MainWindowTest, WriteUsesTheNamesTypedIntoTheBoxes) {
    view.dialogAnswer = MakeAc3("a.ac3");
    window.cmd_Source_Click();
    const std::string typed = MakeAc3("typed.ac3", 4);
    view.texts[TextBox::ed_Source] = typed;
    view.texts[TextBox::ed_Target] = dir.File("typed_out.ac3");
    // Typing runs nothing: the names held stay as they were until Write.
    EXPECT_EQ(state.SourceName, dir.File("a.ac3"));
    EXPECT_EQ(window.cmd_Write_Click(), WriteRun::Written);
    EXPECT_EQ(state.SourceName, typed);
    EXPECT_EQ(test::ReadFile(dir.File("typed_out.ac3")), test::ReadFile(typed));
    EXPECT_TRUE(std::filesystem::exists(dir.File("typed_out.txt")));
    EXPECT_EQ(view.statuses.back(), "pending...");
    EXPECT_EQ(view.progressValue, 0);
    EXPECT_FALSE(view.busyPointer);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(MainWindowTest, MissingSourceAtWrite) {
    view.texts[TextBox::ed_Source] = dir.File("gone.ac3");
    view.texts[TextBox::ed_Target] = dir.File("out.ac3");
    view.texts[TextBox::ed_Info] = "earlier report";
    EXPECT_EQ(window.cmd_Write_Click(), WriteRun::SourceMissing);
    ASSERT_EQ(view.messages.size(), 1U);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(view.messages[0].text,
              "Source file \"" + dir.File("gone.ac3") + "\" does not exist.");
    EXPECT_EQ(view.messages[0].buttons, "OK");
    EXPECT_EQ(view.Text(TextBox::ed_Info), "earlier report");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.ac3")));
}

TEST_F(MainWindowTest, OverwriteIsAskedInteractivelyOnly) {
    const std::string source = MakeAc3("a.ac3");
    const std::string target = dir.File("out.ac3");
    test::WriteTextFile(target, "keep me");
    view.texts[TextBox::ed_Source] = source;
    view.texts[TextBox::ed_Target] = target;
    view.texts[TextBox::ed_Info] = "before";

    view.messageAnswers = {2};  // Cancel
    EXPECT_EQ(window.cmd_Write_Click(), WriteRun::Cancelled);
    ASSERT_EQ(view.messages.size(), 1U);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(view.messages[0].text, "Target already exist. Overwrite?");
    EXPECT_EQ(view.messages[0].buttons, "OK|Cancel");
    EXPECT_EQ(view.messages[0].defaultButton, 1);
    EXPECT_EQ(test::ReadTextFile(target), "keep me");
    EXPECT_EQ(view.Text(TextBox::ed_Info), "before");

    view.messageAnswers = {1};  // OK
    EXPECT_EQ(window.cmd_Write_Click(), WriteRun::Written);
    EXPECT_EQ(test::ReadFile(target), test::ReadFile(source));

    state.BatchMode = true;
    view.messages.clear();
    EXPECT_EQ(window.cmd_Write_Click(), WriteRun::Written);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(MainWindowTest, DamagedSourceIsAQuestionMessage) {
    Bytes stream = test::BuildFrames(kHeader448, 1792, 5);
    stream[3 * 1792] = 0x00;
    test::WriteFile(dir.File("d.ac3"), stream);
    view.texts[TextBox::ed_Source] = dir.File("d.ac3");
    view.texts[TextBox::ed_Target] = dir.File("d_out.ac3");
    EXPECT_EQ(window.cmd_Write_Click(), WriteRun::Failed);
    ASSERT_EQ(view.messages.size(), 1U);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(view.messages[0].text, "Source file damaged. Target file \"" + dir.File("d_out.ac3") +
                                         "\" holds the 3 frames written before the damaged one at "
                                         "00:00:00,096 (byte 5376).");
    EXPECT_FALSE(view.busyPointer);
    EXPECT_EQ(std::filesystem::file_size(dir.File("d_out.ac3")), 3U * 1792);
}

TEST_F(MainWindowTest, TargetThatIsTheSourceIsRefused) {
    const std::string source = MakeAc3("a.ac3");
    const Bytes before = test::ReadFile(source);
    view.texts[TextBox::ed_Source] = source;
    view.texts[TextBox::ed_Target] = dir.File("./a.ac3");
    state.BatchMode = true;
    EXPECT_EQ(window.cmd_Write_Click(), WriteRun::Failed);
    ASSERT_EQ(view.messages.size(), 1U);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(view.messages[0].text,
              "Target file \"" + dir.File("./a.ac3") + "\" is the source file.");
    EXPECT_EQ(test::ReadFile(source), before);
}

TEST_F(MainWindowTest, SilenceIsReadFromTheCheckBoxAtWrite) {
    const std::string source = MakeAc3("a.ac3");
    view.dialogAnswer = source;
    window.cmd_Source_Click();
    ASSERT_TRUE(state.streamInfo.SilentFrameLoaded);
    view.addSilent = 0;  // unchecked after choosing the source
    view.texts[TextBox::ed_Delay] = "64";
    state.BatchMode = true;
    EXPECT_EQ(window.cmd_Write_Click(), WriteRun::Written);
    const Bytes target = test::ReadFile(state.TargetName);
    const Bytes first(target.begin(), target.begin() + 1792);
    const Bytes sourceBytes = test::ReadFile(source);
    const Bytes sourceFirst(sourceBytes.begin(), sourceBytes.begin() + 1792);
    EXPECT_EQ(first, sourceFirst);
    EXPECT_NE(view.Text(TextBox::ed_Info).find("2 frames (64ms) have been added at start.\r\n"),
              std::string::npos);

    view.addSilent = 1;
    EXPECT_EQ(window.cmd_Write_Click(), WriteRun::Written);
    const Bytes silent = test::ReadFile(state.TargetName);
    EXPECT_TRUE(
        std::equal(silent.begin(), silent.begin() + 1792, SilentFrameTemplates.begin() + 2304));
    EXPECT_NE(
        view.Text(TextBox::ed_Info).find("2 silent frames (64ms) have been added at start.\r\n"),
        std::string::npos);
}

}  // namespace
}  // namespace velmora
