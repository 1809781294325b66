// The raw Windows command line: program path, quotes, switch values and the start mode.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/request_printing.h"

namespace velmora {
namespace {

// How Windows hands over a program started from the shell: quoted path, one blank, arguments.
const std::string kProgram = "\"C:\\Program Files\\Velmora\\velmora.exe\" ";

TEST(CommandLine, UsageMessageIsExact) {
    EXPECT_EQ(kUsageMessage,
              "Wrong parameters.\r\n\"Velmora\" /Source <source-file> /Target <target-file> "
              "/Startdelay <delay ms> [/Enddelay <delay ms>] [/Silence] [/Nosilence] [/Repair] "
              "[/Norepair] [/Close] [/Hidden]");
    EXPECT_EQ("Wrong parameters.\r\n" + std::string(kUsageLine), kUsageMessage);
}

struct SkipRow {
    std::string raw;
    std::string argumentText;
};

TEST(CommandLine, SkipProgramNameLeavesTheArguments) {
    const std::vector<SkipRow> rows = {
        {"\"C:\\v\\velmora.exe\" /Source a", "/Source a"},
        {"\"C:\\my programs\\velmora.exe\" x y", "x y"},
        // Nothing, or only the separating blank, after the path.
        {"\"C:\\v\\velmora.exe\"", ""},
        {"\"C:\\v\\velmora.exe\" ", ""},
        // Exactly one character after the closing quote is skipped, so further blanks stay.
        {"\"C:\\v\\velmora.exe\"  /Source a", " /Source a"},
        {"", ""},
        // Unquoted: the path ends at its first blank or tab.
        {"C:\\v\\velmora.exe /Source a", "/Source a"},
        {"C:\\v\\velmora.exe\t\"D:\\a b.ac3\"", "\"D:\\a b.ac3\""},
        {"C:\\v\\velmora.exe", ""},
        {"velmora \"D:\\a b.ac3\" /Close", "\"D:\\a b.ac3\" /Close"},
        // A quote that never closes: the whole line is the path.
        {"\"C:\\v\\velmora.exe /Source a", ""},
    };
    for (const SkipRow& row : rows) {
        EXPECT_EQ(SkipProgramName(row.raw), row.argumentText) << "raw: " << row.raw;
    }
}

TEST(CommandLine, StripQuotesStopsAtTheSecondQuote) {
    const std::vector<SkipRow> rows = {
        {"\"D:\\my clips\\a.ac3\" /Target b", "D:\\my clips\\a.ac3"},
        {"D:\\my clips\\a.ac3", "D:\\my clips\\a.ac3"},
        {"\"D:\\my clips\\a.ac3", "D:\\my clips\\a.ac3"},
        {"a\"b\"c\"d", "ab"},
        {"\"\"", ""},
        {"\"first\" \"second\"", "first"},
        {"", ""},
    };
    for (const SkipRow& row : rows) {
        EXPECT_EQ(StripQuotes(row.raw), row.argumentText) << "text: " << row.raw;
    }
}

struct ValueRow {
    std::string argumentText;
    std::size_t position;
    std::size_t nameLength;
    std::string value;
};

TEST(CommandLine, SwitchValueSkipsOneCharacterAfterTheName) {
    const std::vector<ValueRow> rows = {
        {"/Source a.ac3 /Close", 1, 7, "a.ac3"},
        {"/Source=a.ac3", 1, 7, "a.ac3"},
        {"/Source:a.ac3", 1, 7, "a.ac3"},
        {"/Source  a.ac3", 1, 7, ""},
        {"/Source \"a b.ac3\" /Close", 1, 7, "a b.ac3"},
        {"/Close /Target b", 8, 7, "b"},
        {"/Startdelay 120", 1, 11, "120"},
        // The name at the very end, or followed by one character only: empty.
        {"/Source", 1, 7, ""},
        {"/Source ", 1, 7, ""},
        // Position 0 is how an absent switch is written.
        {"/Source a", 0, 7, ""},
    };
    for (const ValueRow& row : rows) {
        EXPECT_EQ(SwitchValue(row.argumentText, row.position, row.nameLength), row.value)
            << "text: " << row.argumentText;
    }
}

struct ParseRow {
    std::string why;
    std::string argumentText;
    BatchRequest expected;
};

TEST(CommandLine, ParseCommandLineReadsEverySwitch) {
    const BatchRequest plain = Complete("a.ac3", "b.ac3", 10);
    // Values are still read by the old rules, but a delay that is no whole number, or a
    // switch that is no switch, now ends the run as the argument vector's form does.
    const auto refused = [](BatchRequest r, const std::string& problem) {
        r.problem = problem;
        return r;
    };
    const std::vector<ParseRow> rows = {
        {"plain", "/Source a.ac3 /Target b.ac3 /Startdelay 10", plain},
        {"letter case of names", "/source a.ac3 /TARGET b.ac3 /StartDelay 10", plain},
        {"order does not matter", "/Startdelay 10 /Target b.ac3 /Source a.ac3", plain},
        {"values keep their case", "/SOURCE A.Ac3 /target B.aC3 /STARTDELAY 10",
         Complete("A.Ac3", "B.aC3", 10)},
        {"quoted paths keep blanks",
         "/Source \"D:\\my clips\\film DELAY -40ms.ac3\" /Target \"E:\\out dir\\x.ac3\" "
         "/Startdelay -100",
         Complete("D:\\my clips\\film DELAY -40ms.ac3", "E:\\out dir\\x.ac3", -100)},
        {"unquoted value ends at a blank", "/Source D:\\my clips\\a.ac3 /Target b /Startdelay 1",
         Complete("D:\\my", "b", 1)},
        {"value at the end of the line", "/Source a.ac3 /Target b.ac3 /Startdelay 120",
         Complete("a.ac3", "b.ac3", 120)},
        {"two blanks give empty values", "/Source  /Target  /Startdelay  5",
         refused(Complete("", "", 0), "/Startdelay needs a value.")},
        {"equals sign as separator", "/Source=a.ac3 /Target=b.ac3 /Startdelay=-40",
         Complete("a.ac3", "b.ac3", -40)},
        {"12.6 is refused", "/Source a.ac3 /Target b.ac3 /Startdelay 12.6",
         refused(Complete("a.ac3", "b.ac3", 13),
                 "/Startdelay \"12.6\" is not a whole number of milliseconds.")},
        {"no number is refused", "/Source a.ac3 /Target b.ac3 /Startdelay abc",
         refused(Complete("a.ac3", "b.ac3", 0),
                 "/Startdelay \"abc\" is not a whole number of milliseconds.")},
        {"a unit after the number is refused", "/Source a.ac3 /Target b.ac3 /Startdelay -40ms",
         refused(Complete("a.ac3", "b.ac3", -40),
                 "/Startdelay \"-40ms\" is not a whole number of milliseconds.")},
        {"quoted whole delay", "/Source a /Target b /Startdelay \"-7\"", Complete("a", "b", -7)},
        {"delay beyond 32 bits is refused", "/Source a /Target b /Startdelay 99999999999",
         refused(Complete("a", "b", 2147483647),
                 "/Startdelay \"99999999999\" is not a whole number of milliseconds.")},
        {"misspelt switch", "/Source a.ac3 /Target b.ac3 /Startdelay 10 /Enddleay 5",
         refused(plain, "unknown switch \"/Enddleay\".")},
        {"a value like a switch is a value", "/Source /x.ac3 /Target b.ac3 /Startdelay 10",
         Complete("/x.ac3", "b.ac3", 10)},
        {"name switch at the very end is present but empty", "/Target b /Startdelay 1 /Source",
         Complete("", "b", 1)},
        {"end delay", "/Source a.ac3 /Target b.ac3 /Startdelay 10 /Enddelay -64",
         With(plain, [](BatchRequest& r) { r.endDelay = -64; })},
        {"silence", "/Source a.ac3 /Target b.ac3 /Startdelay 10 /silence",
         With(plain, [](BatchRequest& r) { r.silence = true; })},
        {"no silence is not read as silence",
         "/Source a.ac3 /Target b.ac3 /Startdelay 10 /NoSilence",
         With(plain, [](BatchRequest& r) { r.noSilence = true; })},
        {"repair", "/Source a.ac3 /Target b.ac3 /Startdelay 10 /REPAIR",
         With(plain, [](BatchRequest& r) { r.repair = true; })},
        {"no repair is not read as repair", "/Source a.ac3 /Target b.ac3 /Startdelay 10 /Norepair",
         With(plain, [](BatchRequest& r) { r.noRepair = true; })},
        {"/Closed closes", "/Source a.ac3 /Target b.ac3 /Startdelay 10 /Closed",
         With(plain, [](BatchRequest& r) { r.close = true; })},
        {"hidden", "/Source a.ac3 /Target b.ac3 /Startdelay 10 /HIDDEN",
         With(plain, [](BatchRequest& r) { r.hidden = true; })},
        {"a folder named hidden hides",
         "/Source D:/media/Hidden/a.ac3 /Target b.ac3 /Startdelay 10",
         With(Complete("D:/media/Hidden/a.ac3", "b.ac3", 10),
              [](BatchRequest& r) { r.hidden = true; })},
        {"only the first occurrence counts",
         "/Source a.ac3 /Source c.ac3 /Target b.ac3 /Startdelay 10", plain},
        {"everything",
         "/Source \"a b.ac3\" /Target c.ac3 /Startdelay 5 /Enddelay 6 /Silence /Close /Hidden",
         With(Complete("a b.ac3", "c.ac3", 5),
              [](BatchRequest& r) {
                  r.endDelay = 6;
                  r.silence = r.close = r.hidden = true;
              })},
        {"no source", "/Target b.ac3 /Startdelay 10",
         With(plain,
              [](BatchRequest& r) {
                  r.hasSource = false;
                  r.source.clear();
              })},
        {"no target", "/Source a.ac3 /Startdelay 10",
         With(plain,
              [](BatchRequest& r) {
                  r.hasTarget = false;
                  r.target.clear();
              })},
        {"no start delay", "/Source a.ac3 /Target b.ac3 /Enddelay 10",
         With(plain,
              [](BatchRequest& r) {
                  r.hasStartDelay = false;
                  r.startDelay = 0;
                  r.endDelay = 10;
              })},
    };
    for (const ParseRow& row : rows) {
        EXPECT_EQ(ParseCommandLine(row.argumentText), row.expected) << row.why;
    }
}

TEST(CommandLine, CompleteNeedsSourceTargetAndStartDelay) {
    EXPECT_TRUE(ParseCommandLine("/Source a /Target b /Startdelay 0").Complete());
    EXPECT_FALSE(ParseCommandLine("/Target b /Startdelay 0").Complete());
    EXPECT_FALSE(ParseCommandLine("/Source a /Startdelay 0").Complete());
    EXPECT_FALSE(ParseCommandLine("/Source a /Target b").Complete());
    EXPECT_FALSE(ParseCommandLine("/Close").Complete());
}

TEST(CommandLine, HiddenImpliesClose) {
    EXPECT_FALSE(ParseCommandLine("/Source a /Target b /Startdelay 0").CloseWhenDone());
    EXPECT_TRUE(ParseCommandLine("/Source a /Target b /Startdelay 0 /Close").CloseWhenDone());
    EXPECT_TRUE(ParseCommandLine("/Source a /Target b /Startdelay 0 /Hidden").CloseWhenDone());
}

struct ModeRow {
    std::string why;
    std::string raw;
    StartMode mode;
    std::string bareName;
};

TEST(CommandLine, ReadRawCommandLineChoosesTheMode) {
    const std::vector<ModeRow> rows = {
        {"nothing", "\"C:\\v\\velmora.exe\"", StartMode::Interactive, ""},
        {"only the blank", "\"C:\\v\\velmora.exe\" ", StartMode::Interactive, ""},
        {"quoted bare name", kProgram + "\"D:\\my clips\\film.ac3\"", StartMode::BareName,
         "D:\\my clips\\film.ac3"},
        {"unquoted bare name with blanks", kProgram + "D:\\my clips\\film.ac3", StartMode::BareName,
         "D:\\my clips\\film.ac3"},
        {"first of several names", kProgram + "\"D:\\a.ac3\" \"D:\\b.ac3\"", StartMode::BareName,
         "D:\\a.ac3"},
        {"a name holding / is read as switches", kProgram + "D:/clips/film.ac3", StartMode::Batch,
         ""},
        {"switches", kProgram + "/Source a /Target b /Startdelay 0", StartMode::Batch, ""},
        {"unquoted program path", "C:\\v\\velmora.exe /Source a /Target b /Startdelay 0",
         StartMode::Batch, ""},
        {"unquoted program path and a name", "C:\\v\\velmora.exe \"D:\\a b.ac3\"",
         StartMode::BareName, "D:\\a b.ac3"},
        {"unquoted program path alone", "C:\\v\\velmora.exe", StartMode::Interactive, ""},
        {"/?", kProgram + "/?", StartMode::Help, ""},
        {"-h", kProgram + "-h ", StartMode::Help, ""},
        {"--help", kProgram + "--help", StartMode::Help, ""},
        {"--version", kProgram + "--version", StartMode::Version, ""},
        {"/? among switches is no help", kProgram + "/? /Source a", StartMode::Batch, ""},
    };
    for (const ModeRow& row : rows) {
        const StartRequest request = ReadRawCommandLine(row.raw);
        EXPECT_EQ(request.mode, row.mode) << row.why;
        EXPECT_EQ(request.bareName, row.bareName) << row.why;
    }
}

TEST(CommandLine, SwitchesInTheRawLineFillTheBatch) {
    const StartRequest request = ReadRawCommandLine(
        kProgram + "/Source \"D:\\a b.ac3\" /Target c.ac3 /Startdelay -100 /Hidden");
    ASSERT_EQ(request.mode, StartMode::Batch);
    EXPECT_EQ(request.batch, With(Complete("D:\\a b.ac3", "c.ac3", -100),
                                  [](BatchRequest& r) { r.hidden = true; }));
}

TEST(CommandLine, BareNameWithSlashEndsIncomplete) {
    // Taken as switches, it lacks all three required ones: the usage message follows.
    const StartRequest request = ReadRawCommandLine(kProgram + "D:/clips/film.ac3");
    EXPECT_FALSE(request.batch.Complete());
}

}  // namespace
}  // namespace velmora
