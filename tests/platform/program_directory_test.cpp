// Finding the folder the program lies in, whatever the current folder.
#include "platform/program_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace velmora {
namespace {

namespace fs = std::filesystem;

TEST(ProgramDirectory, IsTheFolderOfTheRunningProgram) {
    // This test program is built into the tests folder of the build tree.
    const fs::path expected = fs::canonical(fs::path(VELMORA_BINARY_DIR) / "tests");
    EXPECT_EQ(fs::path(ProgramDirectory("velmora_platform_tests")), expected);
    EXPECT_EQ(fs::path(ProgramDirectory(nullptr)), expected);
}

struct Argv0Row {
    std::string argv0;
    std::string currentDirectory;
    std::string directory;
};

TEST(ProgramDirectory, FallsBackOnArgv0) {
    const std::vector<Argv0Row> rows = {
        {"/opt/velmora/velmora", "/home/u", "/opt/velmora"},
        {"./velmora", "/home/u/bin", "/home/u/bin"},
        {"build/src/velmora", "/home/u/work", "/home/u/work/build/src"},
        {"../bin/velmora", "/home/u/work", "/home/u/bin"},
        {"/velmora", "/home/u", "/"},
        // Found through PATH or not given: nothing better than the current folder.
        {"velmora", "/home/u", "/home/u"},
        {"", "/home/u/", "/home/u"},
    };
    for (const Argv0Row& row : rows) {
        EXPECT_EQ(ProgramDirectoryFromArgv0(row.argv0, row.currentDirectory), row.directory)
            << row.argv0 << " in " << row.currentDirectory;
    }
}

}  // namespace
}  // namespace velmora
