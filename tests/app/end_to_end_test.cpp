// The built program on real encoded streams: target bytes, report file, output and exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::CommandResult;
using test::ScratchDir;
using test::ShellQuote;

const std::string kProgram = std::string(VELMORA_BINARY_DIR) + "/src/velmora";
constexpr std::size_t kAc3Frame = 1792;  // 48 kHz, 448 kbit/s

// Every run goes without a display, so a build with the window never waits for a user.
CommandResult RunVelmora(const std::vector<std::string>& arguments) {
    std::string line =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + ShellQuote(kProgram);
    for (const std::string& argument : arguments) {
        line += " " + ShellQuote(argument);
    }
    return test::RunCommand(line);
}

// A report as the terminal gets it: "\n" line ends, and one after the last line.
std::string AsPrinted(const std::string& report) {
    std::string result;
    for (std::size_t i = 0; i < report.size(); ++i) {
        if (!(report[i] == '\r' && i + 1 < report.size() && report[i + 1] == '\n')) {
            result += report[i];
        }
    }
    if (!result.empty() && result.back() != '\n') {
        result += '\n';
    }
    return result;
}

// The lines of a text, to count what a run wrote to standard error.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return lines;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

class EndToEnd : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kProgram)) << kProgram << " is missing: build the velmora target";
        ASSERT_TRUE(test::HaveFfmpeg());
    }

    // Two seconds of a tone, encoded by ffmpeg into the named file.
    std::string Encode(const std::string& name, const std::string& codecOptions) {
        const std::string path = dir.File(name);
        fs::create_directories(fs::path(path).parent_path());
        const CommandResult r = test::RunCommand(
            "ffmpeg -nostdin -v error -y -f lavfi -i "
            "sine=frequency=440:duration=2:sample_rate=48000 " +
            codecOptions + " -f " +
            (name.ends_with(".dts")   ? "dts"
             : name.ends_with(".ac3") ? "ac3"
                                      : "mp2") +
            " " + ShellQuote(path));
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        return path;
    }

    std::string EncodeAc3(const std::string& name) {
        return Encode(name, "-ac 6 -c:a ac3 -b:a 448k");
    }

    ScratchDir dir;
};

TEST_F(EndToEnd, HiddenBatchCutsFramesSavesAndPrintsTheReport) {
    const std::string source = EncodeAc3("my clips/clip DELAY -40ms.ac3");
    const std::string target = dir.File("out dir/fixed.ac3");
    fs::create_directories(dir.File("out dir"));
    const CommandResult r =
        RunVelmora({"/Source", source, "/Target", target, "/Startdelay", "-100", "/Hidden"});

    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    const Bytes in = test::ReadFile(source);
    ASSERT_EQ(in.size() % kAc3Frame, 0U);
    // -100 ms at 31.25 frames per second: 3 frames cut at the start.
    EXPECT_EQ(test::ReadFile(target), Slice(in, 3 * kAc3Frame, in.size() - 3 * kAc3Frame));
    const std::string report = test::ReadTextFile(dir.File("out dir/fixed.txt"));
    ASSERT_FALSE(report.empty());
    EXPECT_NE(report.find("\r\n"), std::string::npos);
    EXPECT_NE(report.find("3 frames (96ms) have been cut at start."), std::string::npos);
    // Standard output is the same text with the terminal's line ends.
    EXPECT_EQ(r.out, AsPrinted(report));
}

TEST_F(EndToEnd, EverySwitchAtOnce) {
    const std::string source = EncodeAc3("in.ac3");
    const std::string target = dir.File("out.ac3");
    const CommandResult r = RunVelmora({"/source", source, "/TARGET", target, "/StartDelay", "100",
                                        "/Enddelay", "-64", "/Silence", "/Close", "/Hidden"});

    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    const Bytes in = test::ReadFile(source);
    const Bytes out = test::ReadFile(target);
    const std::size_t frames = in.size() / kAc3Frame;
    // 3 silent frames added at the start (100 ms), 2 frames cut at the end (64 ms).
    ASSERT_EQ(out.size(), (frames + 3 - 2) * kAc3Frame);
    EXPECT_EQ(Slice(out, 3 * kAc3Frame, (frames - 2) * kAc3Frame),
              Slice(in, 0, (frames - 2) * kAc3Frame));
    const Bytes added = Slice(out, 0, kAc3Frame);
    EXPECT_EQ(added[0], 0x0B);
    EXPECT_EQ(added[1], 0x77);
    EXPECT_EQ(added[4], in[4]) << "the silent frame matches the source's format";
    EXPECT_NE(added, Slice(in, 0, kAc3Frame)) << "silence, not a copy of the first frame";
    EXPECT_EQ(Slice(out, kAc3Frame, kAc3Frame), added);
    EXPECT_EQ(Slice(out, 2 * kAc3Frame, kAc3Frame), added);
    EXPECT_EQ(r.out, AsPrinted(test::ReadTextFile(dir.File("out.txt"))));
}

TEST_F(EndToEnd, WithoutADisplayTheWindowlessRunSaysSoAndEnds) {
    // No /Close and no /Hidden: a window was wanted. Folders named like switches must not act
    // as /Hidden, /Close, /Target or /Source.
    const std::string source = EncodeAc3("hidden/source/in.ac3");
    fs::create_directories(dir.File("target/close"));
    const std::string target = dir.File("target/close/out.ac3");
    const CommandResult r = RunVelmora({"/Source", source, "/Target", target, "/Startdelay", "0"});

    EXPECT_EQ(r.exitStatus, 0);
    const std::vector<std::string> errLines = Lines(r.err);
    ASSERT_EQ(errLines.size(), 1U) << r.err;
    EXPECT_EQ(errLines[0].rfind("velmora: ", 0), 0U);
    EXPECT_NE(errLines[0].find("window"), std::string::npos);
    EXPECT_EQ(test::ReadFile(target), test::ReadFile(source));
    EXPECT_EQ(r.out, AsPrinted(test::ReadTextFile(dir.File("target/close/out.txt"))));
}

TEST_F(EndToEnd, ExistingTargetIsOverwrittenWithoutAQuestion) {
    const std::string source = EncodeAc3("in.ac3");
    const std::string target = dir.File("out.ac3");
    test::WriteTextFile(target, "an older target, much shorter than the new one");
    const CommandResult r =
        RunVelmora({"/Source=" + source, "/Target=" + target, "/Startdelay=0", "/Hidden"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(test::ReadFile(target), test::ReadFile(source));
}

struct FormatRow {
    std::string name;
    std::string codecOptions;
};

TEST_F(EndToEnd, OtherFormatsFollowTheExtension) {
    const std::vector<FormatRow> rows = {
        {"in.mpa", "-ac 2 -c:a mp2 -b:a 192k"},
        {"in.dts", "-ac 2 -c:a dca -strict -2"},
    };
    for (const FormatRow& row : rows) {
        const std::string source = Encode(row.name, row.codecOptions);
        const std::string target = dir.File("out_" + row.name);
        const CommandResult r =
            RunVelmora({"/Source", source, "/Target", target, "/Startdelay", "-40", "/Hidden"});
        EXPECT_EQ(r.exitStatus, 0) << row.name;
        EXPECT_EQ(r.err, "") << row.name;
        const Bytes in = test::ReadFile(source);
        const Bytes out = test::ReadFile(target);
        // Whole frames cut at the start: the target is a shorter tail of the source.
        ASSERT_LT(out.size(), in.size()) << row.name;
        ASSERT_GT(out.size(), 0U) << row.name;
        EXPECT_EQ(out, Slice(in, in.size() - out.size(), out.size())) << row.name;
        EXPECT_FALSE(r.out.empty()) << row.name;
    }
}

TEST_F(EndToEnd, WrongParametersExitWithTwo) {
    const CommandResult r = RunVelmora({"/Source", dir.File("in.ac3"), "/Hidden"});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.err,
              "velmora: Wrong parameters. \"Velmora\" /Source <source-file> /Target "
              "<target-file> /Startdelay <delay ms> [/Enddelay <delay ms>] [/Silence] "
              "[/Close] [/Hidden]\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST_F(EndToEnd, MissingSourceExitsWithOne) {
    const CommandResult r = RunVelmora({"/Source", dir.File("gone.ac3"), "/Target",
                                        dir.File("out.ac3"), "/Startdelay", "0", "/Hidden"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "velmora: Sourcefile does not exist!\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(dir.File("out.ac3")));
}

TEST_F(EndToEnd, UnusableSourceExitsWithOne) {
    test::WriteTextFile(dir.File("notes.ac3"), "plain text, no audio frames in here\n");
    const CommandResult r = RunVelmora({"/Source", dir.File("notes.ac3"), "/Target",
                                        dir.File("out.ac3"), "/Startdelay", "0", "/Hidden"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(Lines(r.err).size(), 1U) << r.err;
    EXPECT_FALSE(fs::exists(dir.File("out.ac3")));
}

TEST_F(EndToEnd, TargetThatIsTheSourceIsRefused) {
    const std::string source = EncodeAc3("in.ac3");
    const Bytes before = test::ReadFile(source);
    const CommandResult r = RunVelmora(
        {"/Source", source, "/Target", dir.File("./in.ac3"), "/Startdelay", "-100", "/Hidden"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(Lines(r.err).size(), 1U) << r.err;
    EXPECT_EQ(test::ReadFile(source), before);
}

TEST_F(EndToEnd, BareNameWithoutADisplayPrintsTheSourceReport) {
    const std::string source = EncodeAc3("film.ac3");
    const CommandResult r = RunVelmora({source});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(Lines(r.err).size(), 1U) << r.err;
    EXPECT_NE(r.out.find("48 kHz"), std::string::npos) << r.out;
    // Choosing a source writes nothing.
    EXPECT_FALSE(fs::exists(dir.File("film_fix.ac3")));
}

TEST_F(EndToEnd, NoArgumentsWithoutADisplayEndsAtOnce) {
    const CommandResult r = RunVelmora({});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(Lines(r.err).size(), 1U) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(EndToEnd, BatchRunThatEndsItselfStoresNoSettings) {
    // The settings file lies beside the program; it may or may not be there already.
    const fs::path settings = fs::path(kProgram).parent_path() / "velmora.ini";
    const bool existed = fs::exists(settings);
    const std::string before = existed ? test::ReadTextFile(settings) : "";
    const std::string source = EncodeAc3("in.ac3");
    const CommandResult r = RunVelmora({"/Source", source, "/Target", dir.File("out.ac3"),
                                        "/Startdelay", "0", "/Silence", "/Hidden"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(fs::exists(settings), existed);
    if (existed) {
        EXPECT_EQ(test::ReadTextFile(settings), before);
    }
}

}  // namespace
}  // namespace velmora
