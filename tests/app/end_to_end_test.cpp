// The built program on real encoded streams: target bytes, report file, output and exit status.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
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

using test::kProgram;
using test::RunVelmora;
constexpr std::size_t kAc3Frame = 1792;  // 48 kHz, 448 kbit/s

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

// A link that keeps changing where it leads while runs go on: a run writes wherever the link
// led at one instant, or refuses the source, and never touches the source's bytes.
TEST_F(EndToEnd, LinksFlippingDuringRunsNeverReachTheSource) {
    const std::string source = EncodeAc3("a/src.ac3");
    const Bytes original = test::ReadFile(source);
    fs::create_directories(dir.File("b"));
    const struct {
        std::string what;
        std::string link;
        std::string toSource;
        std::string elsewhere;
        std::string target;
    } rows[] = {
        {"the target a link", dir.File("l.ac3"), source, dir.File("b/v.ac3"), dir.File("l.ac3")},
        {"a folder link in the target's path", dir.File("L"), dir.File("a"), dir.File("b"),
         dir.File("L/src.ac3")},
    };
    for (const auto& row : rows) {
        fs::create_symlink(row.elsewhere, row.link);
        std::atomic<bool> done{false};
        // A new link renamed over the old one, so that the name always leads somewhere.
        std::thread flipper([&row, &done] {
            const std::string next = row.link + ".next";
            for (bool toSource = true; !done; toSource = !toSource) {
                std::error_code ignored;
                fs::create_symlink(toSource ? row.toSource : row.elsewhere, next, ignored);
                fs::rename(next, row.link, ignored);
            }
        });
        int runs = 0;
        int written = 0;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < until && !HasFailure()) {
            const CommandResult r = RunVelmora(
                {"/Source", source, "/Target", row.target, "/Startdelay", "100", "/Hidden"});
            ++runs;
            written += r.exitStatus == 0 ? 1 : 0;
            EXPECT_EQ(test::ReadFile(source), original) << row.what << ", run " << runs;
        }
        done = true;
        flipper.join();
        // Chance decides which way each run goes; over a few seconds both come up.
        EXPECT_GT(written, 0) << row.what << ": " << runs << " runs";
        EXPECT_LT(written, runs) << row.what;
        fs::remove(row.link);
        fs::remove(row.link + ".next");
    }
}

// Several files in one call: each into the name proposed beside it, with the delay its name
// marks, one line each; a failure does not stop the others, and the call then exits with 1.
TEST_F(EndToEnd, ManyFilesInOneCallEachWithTheDelayInItsName) {
    const std::vector<std::string> names = {"T80 3_2ch 448Kbps DELAY -66ms.ac3",
                                            "Film_DELAY_957ms_.ac3", "Talk DELAY -356 ms.ac3",
                                            "News [DELAY 0ms].ac3"};
    std::vector<std::string> arguments = {"--"};
    for (const std::string& name : names) {
        arguments.push_back(EncodeAc3(name));
    }
    test::WriteFile(dir.File("notes.ac3"), Bytes(100, 'x'));
    arguments.push_back(dir.File("notes.ac3"));
    const CommandResult r = RunVelmora(arguments);
    EXPECT_EQ(r.exitStatus, 1);
    const std::string at = dir.File("");
    EXPECT_EQ(Lines(r.out),
              (std::vector<std::string>{
                  at + names[0] + ": start delay -66ms (from its name), 2 frames cut at start, "
                                  "remaining -2.0ms: written to " +
                      at + "T80 3_2ch 448Kbps DELAY -66ms_fix.ac3",
                  at + names[1] + ": start delay 957ms (from its name), 30 frames added at "
                                  "start, remaining -3.0ms: written to " +
                      at + "Film_DELAY_957ms__fix.ac3",
                  at + names[2] + ": start delay -356ms (from its name), 11 frames cut at "
                                  "start, remaining -4.0ms: written to " +
                      at + "Talk DELAY -356 ms_fix.ac3",
                  at + names[3] + ": start delay 0ms (from its name): written to " + at +
                      "News [DELAY 0ms]_fix.ac3",
                  at + "notes.ac3: start delay 0ms (none in its name): failed"}));
    EXPECT_NE(r.err.find("notes.ac3\" has no usable frame header."), std::string::npos) << r.err;
    const Bytes in = test::ReadFile(arguments[1]);
    EXPECT_EQ(test::ReadFile(dir.File("T80 3_2ch 448Kbps DELAY -66ms_fix.ac3")),
              Slice(in, 2 * kAc3Frame, in.size() - 2 * kAc3Frame));
    EXPECT_NE(test::ReadTextFile(dir.File("Talk DELAY -356 ms_fix.txt"))
                  .find("Remaining delay at beginning: -4.0ms (less than one frame)"),
              std::string::npos);
    // The mark can name what is left for the muxer instead.
    EXPECT_EQ(RunVelmora({"--name-residual", "-q", arguments[3]}).exitStatus, 0);
    EXPECT_EQ(test::ReadFile(dir.File("Talk DELAY -4ms.ac3")),
              test::ReadFile(dir.File("Talk DELAY -356 ms_fix.ac3")));

    // Targets are known before anything is written: x.ac3 would go onto the source
    // x_fix.ac3, and two files of one name would share one place in the output folder.
    const std::string x = EncodeAc3("x.ac3");
    const std::string xFix = EncodeAc3("x_fix.ac3");
    const Bytes xFixBefore = test::ReadFile(xFix);
    const CommandResult ontoSource = RunVelmora({"--start-delay=-32", "--quiet", x, xFix});
    EXPECT_EQ(ontoSource.exitStatus, 1);
    EXPECT_EQ(ontoSource.out, "");
    EXPECT_EQ(Lines(ontoSource.err).size(), 1u) << ontoSource.err;
    EXPECT_EQ(test::ReadFile(xFix), xFixBefore);
    EXPECT_TRUE(fs::exists(dir.File("x_fix_fix.ac3")));
    fs::create_directories(dir.File("out"));
    const CommandResult shared = RunVelmora(
        {"-q", "--output-dir", dir.File("out"), EncodeAc3("a/s.ac3"), EncodeAc3("b/s.ac3")});
    EXPECT_EQ(shared.exitStatus, 1);
    EXPECT_EQ(Lines(shared.err).size(), 2u) << shared.err;
    EXPECT_TRUE(fs::is_empty(dir.File("out")));
}

// The long form's usage errors: nothing is read or written, exit status 2, the reason and
// where help is.
TEST_F(EndToEnd, LongOptionsRefuseWhatTheyCannotRead) {
    const std::string in = EncodeAc3("in.ac3");
    const struct {
        std::vector<std::string> arguments;
        std::string reason;
    } rows[] = {
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"--s", in}, "option '--s' is ambiguous; possibilities: '--source' '--start-delay' "
                      "'--silence'"},
        {{"--source", in, "--start-delay"}, "option '--start-delay' requires an argument"},
        {{"--quiet=yes", in}, "option '--quiet' doesn't allow an argument"},
        {{"--start-delay", "abc", in}, "invalid delay 'abc' for '--start-delay'"},
        {{"-x", in}, "invalid option -- 'x'"},
        {{"--", "-"}, "'-' is no file here"},
        {{"--target", dir.File("t.ac3"), in, in}, "'--target' names the target of one file"},
        {{"--silence", "--no-silence", in}, "'--silence' and '--no-silence' contradict each other"},
        {{"--output-dir", dir.File("missing"), in}, "output folder '" + dir.File("missing") +
                                                        "' is no folder"},
        {{"--quiet"}, "no file given"},
    };
    for (const auto& row : rows) {
        const CommandResult r = RunVelmora(row.arguments);
        EXPECT_EQ(r.exitStatus, 2) << row.reason;
        EXPECT_EQ(r.err.rfind("velmora: " + row.reason, 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }
    // A value is the next word even when it starts with "-"; abbreviations that fit one option
    // stand for it; the two forms do not mix.
    const CommandResult abbreviated =
        RunVelmora({"--so", in, "--tar", dir.File("t.ac3"), "--start-d", "-100", "--end=-64",
                    "-q"});
    EXPECT_EQ(abbreviated.exitStatus, 0) << abbreviated.err;
    EXPECT_EQ(abbreviated.out, "");
    const Bytes source = test::ReadFile(in);
    EXPECT_EQ(test::ReadFile(dir.File("t.ac3")),
              Slice(source, 3 * kAc3Frame, source.size() - 5 * kAc3Frame));
    const CommandResult mixed = RunVelmora({"/Source", in, "--quiet"});
    EXPECT_EQ(mixed.exitStatus, 2);
    EXPECT_NE(mixed.err.find("cannot be mixed"), std::string::npos) << mixed.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3);
}

TEST_F(EndToEnd, WrongParametersExitWithTwo) {
    const CommandResult r = RunVelmora({"/Source", dir.File("in.ac3"), "/Hidden"});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.err,
              "velmora: Wrong parameters. \"Velmora\" /Source <source-file> /Target "
              "<target-file> /Startdelay <delay ms> [/Enddelay <delay ms>] [/Silence] "
              "[/Nosilence] [/Repair] [/Norepair] [/Close] [/Hidden]\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST_F(EndToEnd, MissingSourceExitsWithOne) {
    const CommandResult r = RunVelmora({"/Source", dir.File("gone.ac3"), "/Target",
                                        dir.File("out.ac3"), "/Startdelay", "0", "/Hidden"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "velmora: Source file \"" + dir.File("gone.ac3") + "\" does not exist.\n");
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

TEST_F(EndToEnd, BareNameThatDoesNotExistWithoutADisplayExitsWithOne) {
    const CommandResult r = RunVelmora({dir.File("gone.ac3")});
    EXPECT_EQ(r.exitStatus, 1);
    const std::vector<std::string> errLines = Lines(r.err);
    ASSERT_EQ(errLines.size(), 2U) << r.err;
    EXPECT_EQ(errLines[1], "velmora: Source file \"" + dir.File("gone.ac3") + "\" does not exist.");
    EXPECT_EQ(r.out, "");
}

// Under a pseudo-terminal (script(1)) standard error is a terminal: the write shows one line
// that overwrites itself and is ended before the report. To a file: no trace of it.
TEST_F(EndToEnd, ProgressLineOnlyOnATerminal) {
    const std::string source = EncodeAc3("in.ac3");
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY " + ShellQuote(kProgram) +
                                " /Source " + ShellQuote(source) + " /Target " +
                                ShellQuote(dir.File("out.ac3")) + " /Startdelay 0 /Hidden";
    const CommandResult terminal = test::RunCommand(
        "script -q -e -c " + ShellQuote(command + " >/dev/null") + " /dev/null");
    EXPECT_EQ(terminal.exitStatus, 0) << terminal.err;
    const std::string& seen = terminal.out;
    EXPECT_EQ(seen.rfind("\rWriting   0 %", 0), 0U) << seen;
    EXPECT_NE(seen.find("\rWriting 100 %"), std::string::npos) << seen;
    // The terminal turns the ending "\n" into "\r\n"; nothing follows the last line.
    EXPECT_TRUE(seen.ends_with("\r\n")) << seen;
    EXPECT_EQ(std::count(seen.begin(), seen.end(), '\n'), 1) << seen;

    const CommandResult toFile = test::RunCommand(command);
    EXPECT_EQ(toFile.exitStatus, 0);
    EXPECT_EQ(toFile.err, "");
    EXPECT_EQ(toFile.out, AsPrinted(test::ReadTextFile(dir.File("out.txt"))));
}

struct AnswerRow {
    std::vector<std::string> arguments;
    std::string after;     // a redirection
    int exitStatus;
    std::string outPiece;  // a piece of standard output
};

TEST_F(EndToEnd, HelpAndVersionNeedNoDisplayAndTouchNothing) {
    const std::string version = std::string("velmora ") + VELMORA_VERSION + "\n";
    const std::vector<AnswerRow> rows = {
        {{"--help"}, "", 0, "Usage: velmora"},
        {{"-h"}, "", 0, "/Nosilence"},
        {{"/Source", dir.File("in.ac3"), "/Target", dir.File("out.ac3"), "--help"}, "", 0,
         "Exit status:"},
        {{"--version"}, "", 0, version},
        // An answer that never reached standard output is a failure.
        {{"--help"}, ">/dev/full", 1, ""},
    };
    for (const AnswerRow& row : rows) {
        const CommandResult r = RunVelmora(row.arguments, "", row.after);
        EXPECT_EQ(r.exitStatus, row.exitStatus) << row.arguments[0] << row.after;
        EXPECT_NE(r.out.find(row.outPiece), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "") << row.arguments[0];
    }
    EXPECT_EQ(RunVelmora({"--version"}).out, version);
    const std::string help = RunVelmora({"--help"}).out;
    for (const char* piece : {"/Source", "/Target", "/Startdelay", "/Enddelay", "/Silence",
                              "/Nosilence", "/Close", "/Hidden", "XDG_CONFIG_HOME", "Example:"}) {
        EXPECT_NE(help.find(piece), std::string::npos) << piece;
    }
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

struct SettingsPlaceRow {
    std::string why;
    std::string environment;  // XDG_CONFIG_HOME and HOME settings for env(1)
    // "Add Silence" values of the files that exist, empty where there is none: beside the
    // program, in <scratch>/config/velmora and in <scratch>/.config/velmora.
    std::string besideProgram;
    std::string inXdgFolder;
    std::string inHomeFolder;
    bool silence;  // the stored state that should count
};

// Which settings file a run reads, seen from the frames it adds: silent frames or copies of
// the first one. The program is copied so that the file beside it belongs to the test.
TEST_F(EndToEnd, SettingsLieInTheUserConfigFolderUnlessBesideTheProgram) {
    const std::string source = EncodeAc3("in.ac3");
    const Bytes firstFrame = Slice(test::ReadFile(source), 0, kAc3Frame);
    const fs::path program = dir.Path() / "portable" / "velmora";
    fs::create_directories(program.parent_path());
    fs::copy_file(kProgram, program);
    const std::string root = dir.Path().string();
    const std::string xdg = "XDG_CONFIG_HOME=" + root + "/config";
    const std::string home = "HOME=" + root;
    const std::vector<SettingsPlaceRow> rows = {
        {"XDG_CONFIG_HOME", xdg + " " + home, "", "0", "1", false},
        {"~/.config without XDG_CONFIG_HOME", "-u XDG_CONFIG_HOME " + home, "", "1", "0", false},
        {"a relative XDG_CONFIG_HOME counts as unset", "XDG_CONFIG_HOME=config " + home, "", "1",
         "0", false},
        {"the file beside the program wins", xdg + " " + home, "1", "0", "0", true},
        {"also when it says 0", xdg + " " + home, "0", "1", "1", false},
        {"no file anywhere: checked", xdg + " " + home, "", "", "", true},
    };
    const auto place = [](const fs::path& path, const std::string& value) {
        fs::remove(path);
        if (!value.empty()) {
            fs::create_directories(path.parent_path());
            test::WriteTextFile(path, "[Settings]\nAdd Silence=" + value + "\n");
        }
    };
    for (const SettingsPlaceRow& row : rows) {
        place(program.parent_path() / "velmora.ini", row.besideProgram);
        place(dir.Path() / "config" / "velmora" / "velmora.ini", row.inXdgFolder);
        place(dir.Path() / ".config" / "velmora" / "velmora.ini", row.inHomeFolder);
        const std::string target = dir.File("out.ac3");
        const CommandResult r = test::RunCommand(
            "cd " + ShellQuote(root) + " && env -u DISPLAY -u WAYLAND_DISPLAY " + row.environment +
            " " + ShellQuote(program.string()) + " /Source " + ShellQuote(source) + " /Target " +
            ShellQuote(target) + " /Startdelay 100 /Hidden");
        ASSERT_EQ(r.exitStatus, 0) << row.why << r.err;
        // 100 ms: three frames added at the start.
        const Bytes added = Slice(test::ReadFile(target), 0, kAc3Frame);
        EXPECT_EQ(added != firstFrame, row.silence) << row.why;
    }
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

// Attacks on the files around a run, each replayed through the real batch command. Every row
// names the files that must come out byte for byte as they were.
TEST_F(EndToEnd, NothingIsLostWhateverTheNamesLeadTo) {
    const std::string source = EncodeAc3("src.ac3");
    const std::string earlierReport = "Source file information:\r\n\r\nan earlier run\r\n";
    test::WriteTextFile(dir.File("old.ac3"), "an earlier good target");
    test::WriteTextFile(dir.File("old.txt"), earlierReport);
    test::WriteTextFile(dir.File("notes.txt"), "the user's own notes");
    test::WriteFile(dir.File("short.ac3"), Slice(test::ReadFile(source), 0, 1000));
    fs::create_directories(dir.File("real"));
    test::WriteTextFile(dir.File("real/kept.ac3"), "the file a link leads to");
    fs::create_symlink(dir.File("real/kept.ac3"), dir.File("link.ac3"));
    fs::create_directories(dir.File("folder.ac3"));
    ASSERT_EQ(mkfifo(dir.File("pipe.ac3").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo(dir.File("piped.txt").c_str(), 0644), 0);
    test::WriteFile(dir.File("private.ac3"), test::ReadFile(source));
    const std::string lock = dir.File(".old.ac3.velmora-lock");
    // A file of mode 0 is denied to its owner, but root reads anything: for root that row
    // runs without the two capabilities that override file modes, still as the same user, so
    // it reaches the scratch folder from any checkout.
    const std::string unprivileged =
        geteuid() == 0 ? "setpriv --bounding-set=-dac_override,-dac_read_search" : "";

    std::map<std::string, Bytes> before;
    for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
        if (entry.is_regular_file()) {
            before[entry.path().string()] = test::ReadFile(entry.path());
        }
    }
    const std::vector<std::string> all = {source, dir.File("old.ac3"), dir.File("old.txt"),
                                          dir.File("notes.txt"), dir.File("real/kept.ac3")};
    fs::permissions(dir.File("private.ac3"), fs::perms::none);

    struct Row {
        std::string what;
        std::string source;
        std::string target;
        std::string start;
        std::string end;
        int exitStatus;
        std::string told;
        std::string before = "";
        std::string after = "";
        std::string setUp = "";
    };
    const std::vector<Row> rows = {
        {"the source's own descriptor", source, "/dev/fd/3", "-100", "0", 1, "is the source file",
         "", "3<&-"},
        {"the source's descriptor in /proc", source, "/proc/self/fd/3", "-100", "0", 1,
         "is the source file", "", "3<&-"},
        {"standard output closed", source, "/dev/stdout", "-100", "0", 1,
         "\"/dev/stdout\" is not a regular file", "", ">&-"},
        {"a device as target", source, "/dev/null", "0", "0", 1,
         "\"/dev/null\" is not a regular file"},
        {"a pipe as target", source, dir.File("pipe.ac3"), "0", "0", 1, "is not a regular file",
         "timeout 20"},
        {"a folder as target", source, dir.File("folder.ac3"), "0", "0", 1,
         "is not a regular file"},
        {"less than one frame", dir.File("short.ac3"), dir.File("old.ac3"), "0", "1000", 1,
         "holds no whole frame"},
        {"cuts remove everything", source, dir.File("old.ac3"), "-1500", "-1000", 1,
         "The cuts remove the whole stream"},
        {"a folder as source", dir.File("folder.ac3"), dir.File("old.ac3"), "0", "0", 1,
         "Source file \"" + dir.File("folder.ac3") + "\" could not be opened: not a regular file"},
        {"a pipe as source", dir.File("pipe.ac3"), dir.File("old.ac3"), "0", "0", 1,
         "could not be opened: not a regular file", "timeout 20"},
        {"a device as source", "/dev/zero", dir.File("old.ac3"), "0", "0", 1,
         "\"/dev/zero\" could not be opened: not a regular file"},
        {"a source the user may not read", dir.File("private.ac3"), dir.File("old.ac3"), "0", "0",
         1, "Source file \"" + dir.File("private.ac3") + "\" cannot be read: Permission denied.",
         unprivileged},
        {"a file-size limit", source, dir.File("old.ac3"), "0", "0", 1, "File too large", "", "",
         "ulimit -f 40;"},
        {"a file-size limit through a link", source, dir.File("link.ac3"), "0", "0", 1,
         "File too large", "", "", "ulimit -f 40;"},
        {"another run writing the target", source, dir.File("old.ac3"), "0", "0", 1,
         "is being written by another run", "flock " + ShellQuote(lock)},
        {"standard output on a full disk", source, dir.File("new.ac3"), "0", "0", 1,
         "could not be written to standard output: No space left on device", "", ">/dev/full"},
        {"standard output a pipe nobody reads", source, dir.File("new.ac3"), "0", "0", 1,
         "could not be written to standard output: Broken pipe",
         "perl -e " + ShellQuote("pipe(R, W); close R; open(STDOUT, '>&', \\*W); exec @ARGV")},
        {"a pipe under the report's name", source, dir.File("piped.ac3"), "0", "0", 0,
         "the report was saved as \"" + dir.File("piped.ac3.txt") + "\"", "timeout 20"},
        {"a file of the user's under the report's name", source, dir.File("notes.ac3"), "0", "0", 0,
         "is a file that is not a report of Velmora's; the report was saved as"},
    };
    for (const Row& row : rows) {
        const CommandResult r =
            RunVelmora({"/Source", row.source, "/Target", row.target, "/Startdelay", row.start,
                        "/Enddelay", row.end, "/Hidden"},
                       row.before, row.after, row.setUp);
        EXPECT_EQ(r.exitStatus, row.exitStatus) << row.what << ": " << r.err;
        EXPECT_NE(r.err.find(row.told), std::string::npos) << row.what << ": " << r.err;
        EXPECT_EQ(Lines(r.err).size(), 1U) << row.what << ": " << r.err;
        for (const std::string& file : all) {
            EXPECT_EQ(test::ReadFile(file), before[file]) << row.what << ": " << file;
        }
    }
    // Nothing appeared where nothing should: no report beside a device, pipe or folder, no
    // report of a refused run, no leftover of any run, and every special file is still itself.
    EXPECT_FALSE(fs::exists("/dev/null.txt"));
    EXPECT_TRUE(fs::is_symlink(dir.File("link.ac3")));
    EXPECT_TRUE(fs::is_fifo(dir.File("pipe.ac3")));
    EXPECT_TRUE(fs::is_fifo(dir.File("piped.txt")));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{
                         // The lock file that flock(1) made is its own, and stays.
                         // A report that could not be printed committed nothing (new.ac3).
                         ".old.ac3.velmora-lock", "folder.ac3", "link.ac3",
                         "notes.ac3", "notes.ac3.txt", "notes.txt", "old.ac3", "old.txt",
                         "pipe.ac3", "piped.ac3", "piped.ac3.txt", "piped.txt", "private.ac3",
                         "real", "short.ac3", "src.ac3"}));
}

// A target link leads to the new file, written beside the file it leads to with its report;
// the earlier report of this program's there is replaced.
TEST_F(EndToEnd, TargetLinkStillLeadsToTheNewFile) {
    const std::string source = EncodeAc3("src.ac3");
    fs::create_directories(dir.File("real"));
    test::WriteTextFile(dir.File("real/kept.ac3"), "an earlier target");
    fs::create_symlink("real/kept.ac3", dir.File("link.ac3"));
    test::WriteTextFile(dir.File("real/kept.txt"), "Source file information:\r\n\r\nolder\r\n");
    const CommandResult r = RunVelmora(
        {"/Source", source, "/Target", dir.File("link.ac3"), "/Startdelay", "0", "/Hidden"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(fs::is_symlink(dir.File("link.ac3")));
    EXPECT_EQ(test::ReadFile(dir.File("real/kept.ac3")), test::ReadFile(source));
    EXPECT_EQ(r.out, AsPrinted(test::ReadTextFile(dir.File("real/kept.txt"))));
    EXPECT_FALSE(fs::exists(dir.File("link.txt")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("real")), fs::directory_iterator()), 2);
}

// Killed while it writes: the earlier target and report stand as they were. A signal that can
// be caught leaves nothing else; SIGKILL may leave its unfinished file and lock, both named so
// that they are recognised.
TEST_F(EndToEnd, SignalDuringTheWriteKeepsTheEarlierTarget) {
    const std::string shm = "/dev/shm/velmora-signal-" + std::to_string(getpid());
    fs::remove_all(shm);
    fs::create_directories(shm);
    // Removed however the test ends: 270 MB in memory must not outlive a failure.
    struct RemovedAtEnd {
        std::string path;
        ~RemovedAtEnd() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } removedAtEnd{shm};
    // 270 MB of whole AC-3 frames: the write takes long enough to be caught in the middle.
    const std::string source = shm + "/big.ac3";
    test::WriteFile(source, test::BuildFrames(test::Ac3Header(0x1E), 1792, 150000));
    const std::string target = shm + "/t.ac3";
    const std::string earlierReport = "Source file information:\r\n\r\nan earlier run\r\n";

    for (const int signalNumber :
         {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE, SIGKILL}) {
        test::WriteTextFile(target, "an earlier good target");
        test::WriteTextFile(shm + "/t.txt", earlierReport);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("QT_QPA_PLATFORM");
            if (freopen("/dev/null", "w", stdout) == nullptr ||
                freopen("/dev/null", "w", stderr) == nullptr) {
                _exit(126);
            }
            // A child of the test may inherit an ignored SIGINT; the program is to see it.
            signal(SIGINT, SIG_DFL);
            signal(SIGHUP, SIG_DFL);
            signal(SIGQUIT, SIG_DFL);
            signal(SIGPIPE, SIG_DFL);
            // SIGQUIT's default would leave a core file behind.
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            execl(kProgram.c_str(), kProgram.c_str(), "/Source", source.c_str(), "/Target",
                  target.c_str(), "/Startdelay", "0", "/Hidden", static_cast<char*>(nullptr));
            _exit(127);
        }
        bool seen = false;
        for (int poll = 0; poll < 200000 && !seen; ++poll) {
            for (const auto& entry : fs::directory_iterator(shm)) {
                seen = seen || entry.path().filename().string().find(".velmora-unfinished-") !=
                                   std::string::npos;
            }
        }
        kill(pid, signalNumber);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(seen) << "the write ended before it could be caught: signal " << signalNumber
                          << ", status " << status;
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << signalNumber;
        EXPECT_EQ(test::ReadTextFile(target), "an earlier good target") << signalNumber;
        EXPECT_EQ(test::ReadTextFile(shm + "/t.txt"), earlierReport) << signalNumber;
        for (const auto& entry : fs::directory_iterator(shm)) {
            const std::string name = entry.path().filename().string();
            const bool known = name == "big.ac3" || name == "t.ac3" || name == "t.txt";
            const bool leftover =
                signalNumber == SIGKILL &&
                (name.rfind(".t.ac3.velmora-unfinished-", 0) == 0 || name == ".t.ac3.velmora-lock");
            EXPECT_TRUE(known || leftover) << signalNumber << ": " << name;
            if (!known) {
                fs::remove(entry.path());
            }
        }
    }
    fs::remove_all(shm);
}

}  // namespace
}  // namespace velmora
