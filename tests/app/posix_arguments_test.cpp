// The argument vector of Linux and macOS: whole-argument switches, paths never read as switches.
#include "app/posix_arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/request_printing.h"

namespace velmora {
namespace {

using Args = std::vector<std::string>;

struct BatchRow {
    std::string why;
    Args arguments;
    BatchRequest expected;
};

// Well-formed switches; every kind of mistake is in StartUp's table of wrong parameters.
TEST(PosixArguments, ReadsWellFormedSwitches) {
    const BatchRequest plain = Complete("a.ac3", "b.ac3", 10);
    const std::vector<BatchRow> rows = {
        {"plain", {"/Source", "a.ac3", "/Target", "b.ac3", "/Startdelay", "10"}, plain},
        {"letter case of names",
         {"/source", "a.ac3", "/TARGET", "b.ac3", "/StartDelay", "10"},
         plain},
        {"order does not matter",
         {"/Startdelay", "10", "/Target", "b.ac3", "/Source", "a.ac3"},
         plain},
        {"values are taken whole, blanks kept",
         {"/Source", "/mnt/my clips/film DELAY -40ms.ac3", "/Target", "/mnt/out dir/x.ac3",
          "/Startdelay", "-100"},
         Complete("/mnt/my clips/film DELAY -40ms.ac3", "/mnt/out dir/x.ac3", -100)},
        {"quotes inside a value are kept",
         {"/Source", "say \"hi\".ac3", "/Target", "b", "/Startdelay", "0"},
         Complete("say \"hi\".ac3", "b", 0)},
        {"equals sign",
         {"/Source=/mnt/a.ac3", "/target=b.ac3", "/STARTDELAY=-40"},
         Complete("/mnt/a.ac3", "b.ac3", -40)},
        {"a root-level name that is no switch is a value",
         {"/Source", "/in.ac3", "/Target", "/out.ac3", "/Startdelay", "0"},
         Complete("/in.ac3", "/out.ac3", 0)},
        {"plus sign", {"/Source", "a", "/Target", "b", "/Startdelay", "+7"}, Complete("a", "b", 7)},
        {"32-bit limits",
         {"/Source", "a", "/Target", "b", "/Startdelay", "-2147483648", "/Enddelay",
          "2147483647"},
         With(Complete("a", "b", -2147483648),
              [](BatchRequest& r) { r.endDelay = 2147483647; })},
        {"end delay",
         {"/Source", "a.ac3", "/Target", "b.ac3", "/Startdelay", "10", "/Enddelay", "-64"},
         With(plain, [](BatchRequest& r) { r.endDelay = -64; })},
        {"flags",
         {"/Source", "a.ac3", "/Target", "b.ac3", "/Startdelay", "10", "/silence", "/CLOSE",
          "/Hidden"},
         With(plain, [](BatchRequest& r) { r.silence = r.close = r.hidden = true; })},
        {"no silence",
         {"/Source", "a.ac3", "/Target", "b.ac3", "/Startdelay", "10", "/NOSILENCE"},
         With(plain, [](BatchRequest& r) { r.noSilence = true; })},
        // A stray word could be a file meant for another run: the first one is named.
        {"stray words are refused",
         {"/Source", "a.ac3", "please", "/Target", "b.ac3", "/Startdelay", "10", "now"},
         With(plain, [](BatchRequest& r) {
             r.problem = "\"please\" is no switch and no switch's value.";
         })},
        {"an existing root-level path among the switches is a stray word",
         {"/Source", "a.ac3", "/tmp", "/Target", "b.ac3", "/Startdelay", "10"},
         With(plain, [](BatchRequest& r) {
             r.problem = "\"/tmp\" is no switch and no switch's value.";
         })},
        {"missing start delay",
         {"/Source", "a.ac3", "/Target", "b.ac3"},
         With(plain,
              [](BatchRequest& r) {
                  r.hasStartDelay = false;
                  r.startDelay = 0;
              })},
    };
    for (const BatchRow& row : rows) {
        const StartRequest request = ReadArguments(row.arguments);
        EXPECT_EQ(request.mode, StartMode::Batch) << row.why;
        EXPECT_EQ(request.batch, row.expected) << row.why;
    }
}

TEST(PosixArguments, PathsAreNeverSwitches) {
    // Every absolute path holds "/": folders named like switches must not act as them.
    const StartRequest request = ReadArguments({"/Source", "/mnt/source/hidden/in.ac3", "/Target",
                                                "/mnt/target/close/out.ac3", "/Startdelay", "0"});
    EXPECT_EQ(request.mode, StartMode::Batch);
    EXPECT_EQ(request.batch, Complete("/mnt/source/hidden/in.ac3", "/mnt/target/close/out.ac3", 0));
}

TEST(PosixArguments, SwitchValuesMayHoldSlashesAfterTheEqualsSign) {
    const StartRequest request = ReadArguments(
        {"/Source=/mnt/target/a.ac3", "/Target=/hidden/b.ac3", "/Startdelay=0", "/Hidden"});
    EXPECT_EQ(request.batch, With(Complete("/mnt/target/a.ac3", "/hidden/b.ac3", 0),
                                  [](BatchRequest& r) { r.hidden = true; }));
}

struct ModeRow {
    std::string why;
    Args arguments;
    StartMode mode;
    std::string bareName;
};

TEST(PosixArguments, ChoosesTheMode) {
    const std::vector<ModeRow> rows = {
        {"no arguments", {}, StartMode::Interactive, ""},
        {"absolute path",
         {"/mnt/my clips/film.ac3"},
         StartMode::BareName,
         "/mnt/my clips/film.ac3"},
        {"path through folders named like switches",
         {"/mnt/target/close/in.ac3"},
         StartMode::BareName,
         "/mnt/target/close/in.ac3"},
        {"relative name", {"film.ac3"}, StartMode::BareName, "film.ac3"},
        {"quotes are part of the name", {"\"film.ac3\""}, StartMode::BareName, "\"film.ac3\""},
        {"root-level name written as a path", {"//close"}, StartMode::BareName, "//close"},
        {"a lone switch", {"/Close"}, StartMode::Batch, ""},
        {"a lone unknown switch", {"/Enddleay"}, StartMode::Batch, ""},
        {"a lone existing root-level name", {"/tmp"}, StartMode::BareName, "/tmp"},
        {"help", {"--help"}, StartMode::Help, ""},
        {"short help", {"-h"}, StartMode::Help, ""},
        {"help among switches", {"/Source", "a.ac3", "--help"}, StartMode::Help, ""},
        {"version", {"--version"}, StartMode::Version, ""},
        {"a lone value switch", {"/Source=a.ac3"}, StartMode::Batch, ""},
        {"two names: the long form", {"a.ac3", "b.ac3"}, StartMode::Files, ""},
        {"a long option: the long form", {"--quiet", "a.ac3"}, StartMode::Files, ""},
        {"the end of options", {"--", "a.ac3"}, StartMode::Files, ""},
        {"short version", {"-V"}, StartMode::Version, ""},
        {"an abbreviated help", {"--hel", "a.ac3"}, StartMode::Help, ""},
        {"a mistyped delay is no option",
         {"/Source", "a", "/Target", "b", "/Startdelay", "--5"},
         StartMode::Batch,
         ""},
    };
    for (const ModeRow& row : rows) {
        const StartRequest request = ReadArguments(row.arguments);
        EXPECT_EQ(request.mode, row.mode) << row.why;
        EXPECT_EQ(request.bareName, row.bareName) << row.why;
    }
}

TEST(PosixArguments, SeveralNamesEndWithTheUsageMessage) {
    EXPECT_FALSE(ReadArguments({"a.ac3", "b.ac3"}).batch.Complete());
}

TEST(PosixArguments, ReadArgvLeavesOutTheProgramName) {
    const char* argv[] = {"/opt/velmora/velmora", "/Source", "a b.ac3", "/Target", "c.ac3",
                          "/Startdelay",          "-100",    "/Hidden"};
    const StartRequest request = ReadArgv(8, argv);
    EXPECT_EQ(request.batch,
              With(Complete("a b.ac3", "c.ac3", -100), [](BatchRequest& r) { r.hidden = true; }));
    const char* alone[] = {"/opt/velmora/velmora"};
    EXPECT_EQ(ReadArgv(1, alone).mode, StartMode::Interactive);
}

TEST(PosixArguments, BothFormsGiveTheSameRequest) {
    const StartRequest raw = ReadRawCommandLine(
        "\"C:\\v\\velmora.exe\" /Source \"D:\\my clips\\a.ac3\" /Target out.ac3 /Startdelay 13 "
        "/Enddelay -40 /Nosilence /Close /Hidden");
    const StartRequest posix =
        ReadArguments({"/Source", "D:\\my clips\\a.ac3", "/Target", "out.ac3", "/Startdelay",
                       "13", "/Enddelay", "-40", "/Nosilence", "/Close", "/Hidden"});
    EXPECT_EQ(raw, posix);
}

}  // namespace
}  // namespace velmora
