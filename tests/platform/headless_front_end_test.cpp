// The front end without a display: values in memory, messages on one line, report on stdout.
#include "platform/headless/headless_front_end.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "platform/headless/terminal_progress.h"

namespace velmora {
namespace {

TEST(HeadlessView, KeepsEveryControlsValue) {
    std::ostringstream messages;
    HeadlessView view(messages);
    const std::vector<TextBox> boxes = {TextBox::ed_Source,   TextBox::ed_Target, TextBox::ed_Delay,
                                        TextBox::ed_EndDelay, TextBox::ed_Status, TextBox::ed_Info};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        view.SetText(boxes[i], "text " + std::to_string(i));
    }
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(view.Text(boxes[i]), "text " + std::to_string(i));
    }
    view.SetAddSilentValue(2);
    EXPECT_EQ(view.AddSilentValue(), 2);
    view.SetWriteEnabled(true);
    EXPECT_TRUE(view.WriteEnabled());
    view.SetProgressMaximum(std::int64_t{5} << 32);
    view.SetProgressValue(std::int64_t{3} << 32);
    EXPECT_EQ(view.ProgressMaximum(), std::int64_t{5} << 32);
    EXPECT_EQ(view.ProgressValue(), std::int64_t{3} << 32);
    EXPECT_FALSE(view.Visible());
    view.SetVisible(true);
    EXPECT_TRUE(view.Visible());
    EXPECT_EQ(messages.str(), "");
}

struct MessageRow {
    std::string text;
    std::string buttons;
    int defaultButton;
    int answer;
    std::string line;
};

TEST(HeadlessView, MessageBoxesBecomeOneLineAndTakeTheirDefault) {
    const std::vector<MessageRow> rows = {
        {"Source file \"a.ac3\" does not exist.", "OK", 1, 1,
         "velmora: Source file \"a.ac3\" does not exist.\n"},
        {std::string(kUsageMessage), "OK", 1, 1,
         "velmora: Wrong parameters. \"Velmora\" /Source <source-file> /Target <target-file> "
         "/Startdelay <delay ms> [/Enddelay <delay ms>] [/Silence] [/Nosilence] [/Repair] "
         "[/Norepair] [/Close] [/Hidden]\n"},
        {"Target already exist. Overwrite?", "OK|Cancel", 1, 1,
         "velmora: Target already exist. Overwrite? [OK]\n"},
        {"Go on?", "OK|Cancel", 2, 2, "velmora: Go on? [Cancel]\n"},
        // A default that names no button: the first.
        {"Go on?", "OK|Cancel", 0, 1, "velmora: Go on? [OK]\n"},
        {"Go on?", "OK|Cancel", 3, 1, "velmora: Go on? [OK]\n"},
        {"one\rtwo\nthree\r\n\r\nfour", "OK", 1, 1, "velmora: one two three  four\n"},
    };
    for (const MessageRow& row : rows) {
        std::ostringstream messages;
        HeadlessView view(messages);
        EXPECT_EQ(view.ShowMessage(MessageIcon::Stop, row.text, row.buttons, row.defaultButton),
                  row.answer)
            << row.text;
        EXPECT_EQ(messages.str(), row.line);
    }
}

TEST(HeadlessView, DialogsAreCancelled) {
    std::ostringstream messages;
    HeadlessView view(messages);
    FileDialogConfig config;
    config.initialName = "test.file";
    config.title = "Open Source File";
    EXPECT_FALSE(view.ShowOpenDialog(config).has_value());
    EXPECT_FALSE(view.ShowSaveDialog(config).has_value());
}

TEST(HeadlessView, TerminalTextUsesPlainLineEnds) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"", ""},
        {"Source file information:\r\n\r\nSampling rate: 48 kHz\r\n",
         "Source file information:\n\nSampling rate: 48 kHz\n"},
        {"no end", "no end\n"},
        {"a\rb\r\n", "a\rb\n"},
    };
    for (const auto& [info, terminal] : rows) {
        EXPECT_EQ(TerminalText(info), terminal);
    }
}

struct ProgressRow {
    std::int64_t done;
    std::int64_t total;
    double seconds;
    std::string line;
};

TEST(TerminalProgress, LineShowsPercentSpeedAndTimeLeft) {
    const std::vector<ProgressRow> rows = {
        {0, 1000, 0.0, "Writing   0 %"},
        // Too soon for a speed worth showing.
        {500, 1000, 0.01, "Writing  50 %"},
        {50'000'000, 200'000'000, 0.5, "Writing  25 %   100.0 MB/s   0:02 left"},
        {1'000'000, 7'201'000'000, 1.0, "Writing   0 %   1.0 MB/s   2:00:00 left"},
        {3'000'000'000, 3'000'000'000, 2.0, "Writing 100 %   1500.0 MB/s   0:00 left"},
        // Values beyond the range are held inside it.
        {4000, 1000, 0.0, "Writing 100 %"},
        {-5, 1000, 0.0, "Writing   0 %"},
    };
    for (const ProgressRow& row : rows) {
        EXPECT_EQ(ProgressLine(row.done, row.total, row.seconds), row.line) << row.done;
    }
    // A line at most every whole percent, whatever the number of frames, and one end.
    std::ostringstream terminal;
    TerminalProgress progress(terminal, true);
    progress.Start(100'000);
    for (std::int64_t done = 0; done < 100'000; done += 7) {
        progress.Update(done);
    }
    progress.Finish(true);
    const std::string shown = terminal.str();
    EXPECT_LE(std::count(shown.begin(), shown.end(), '\r'), 102);
    EXPECT_EQ(shown.substr(shown.rfind('\r') + 1, 13), "Writing 100 %");
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1);
    EXPECT_EQ(shown.back(), '\n');
    // One file of several: the count leads every line.
    std::ostringstream labelled;
    TerminalProgress second(labelled, true, "[2/5] ");
    second.Start(10);
    second.Finish(true);
    EXPECT_EQ(labelled.str().substr(labelled.str().rfind('\r') + 1), "[2/5] Writing 100 %\n");
}

TEST(HeadlessFrontEnd, PrintsTheInformationTextWhenFinished) {
    std::ostringstream out;
    std::ostringstream err;
    HeadlessFrontEnd frontEnd(out, err);
    frontEnd.View().SetText(TextBox::ed_Info, "line 1\r\nline 2\r\n");
    frontEnd.RunEventLoop();
    EXPECT_EQ(out.str(), "");
    EXPECT_TRUE(frontEnd.Finish());
    EXPECT_EQ(out.str(), "line 1\nline 2\n");
    EXPECT_EQ(err.str(), "");
}

TEST(HeadlessFrontEnd, NeverClosesAWindowSoNothingIsStored) {
    std::ostringstream out;
    std::ostringstream err;
    HeadlessFrontEnd frontEnd(out, err);
    ProgramState state;
    MainWindow logic(state, frontEnd.View());
    bool closed = false;
    frontEnd.Attach(logic, [&] { closed = true; });
    frontEnd.RunEventLoop();
    EXPECT_TRUE(frontEnd.Finish());
    EXPECT_FALSE(closed);
    EXPECT_EQ(out.str(), "");
}

TEST(HeadlessFrontEnd, MessagesGoToTheMessageStream) {
    std::ostringstream out;
    std::ostringstream err;
    HeadlessFrontEnd frontEnd(out, err);
    frontEnd.View().ShowMessage(MessageIcon::None, "Source file \"a.ac3\" does not exist.", "OK",
                                1);
    EXPECT_EQ(err.str(), "velmora: Source file \"a.ac3\" does not exist.\n");
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace velmora
