// Helpers the tests share.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace velmora::test {

namespace fs = std::filesystem;

namespace {

std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (info == nullptr) {
        return "no_test";
    }
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    return name;
}

}  // namespace

ScratchDir::ScratchDir() {
    path_ = fs::path(VELMORA_TEST_TMP) / CurrentTestName();
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    // Restore write permission first, in case a test took it away.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string ScratchDir::File(const std::string& name) const { return (path_ / name).string(); }

void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        ADD_FAILURE() << "cannot write " << path;
    }
}

void WriteTextFile(const fs::path& path, const std::string& text) {
    WriteFile(path, Bytes(text.begin(), text.end()));
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadTextFile(const fs::path& path) {
    const Bytes bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

CommandResult RunCommand(const std::string& commandLine) {
    static int counter = 0;
    const fs::path dir = fs::path(VELMORA_TEST_TMP) / "commands";
    fs::create_directories(dir);
    const std::string stem = (dir / (CurrentTestName() + "." + std::to_string(counter++))).string();
    const std::string outFile = stem + ".out";
    const std::string errFile = stem + ".err";
    const std::string full = "( " + commandLine + " ) </dev/null >" + ShellQuote(outFile) + " 2>" +
                             ShellQuote(errFile);
    const int raw = std::system(full.c_str());
    CommandResult result;
    result.exitStatus = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadTextFile(outFile);
    result.err = ReadTextFile(errFile);
    std::error_code ignored;
    fs::remove(outFile, ignored);
    fs::remove(errFile, ignored);
    return result;
}

bool HaveFfmpeg() {
    const CommandResult r = RunCommand("command -v ffmpeg && command -v ffprobe");
    if (r.exitStatus != 0) {
        ADD_FAILURE() << "ffmpeg and ffprobe are needed for this test (make test installs them)";
        return false;
    }
    return true;
}

Bytes BuildFrames(const Bytes& header, std::int64_t frameLength, std::int64_t count) {
    Bytes stream;
    stream.reserve(static_cast<std::size_t>(frameLength * count));
    for (std::int64_t i = 0; i < count; ++i) {
        for (std::int64_t j = 0; j < frameLength; ++j) {
            if (j < static_cast<std::int64_t>(header.size())) {
                stream.push_back(header[static_cast<std::size_t>(j)]);
            } else {
                stream.push_back(static_cast<std::uint8_t>((i * 7 + j) & 0xFF));
            }
        }
    }
    return stream;
}

// After the syncinfo: bsid 8 and bsmod 0 (0x40), then acmod 7 (3/2), cmixlev and surmixlev
// 0 and lfeon 1 (0xE1): a 5.1 stream in the AC-3 syntax.
Bytes Ac3Header(std::uint8_t fifthByte) {
    return Bytes{0x0B, 0x77, 0x12, 0x34, fifthByte, 0x40, 0xE1};
}

}  // namespace velmora::test
