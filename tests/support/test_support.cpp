// Helpers the tests share.
#include "support/test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdlib>
#include <cstring>
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

std::string ScratchDir::File(const std::string& name) const {
    // Forward slashes on every system: under Wine the same name then also serves the host's
    // tools (ffmpeg), which the tests start through the host's shell.
    return (path_ / name).generic_string();
}

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

Bytes Repeated(const Bytes& frame, int count) {
    Bytes stream;
    for (int n = 0; n < count; ++n) {
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    return stream;
}

Decoded DecodeStrictly(const std::string& file) {
    const std::string pcm = file + ".pcm";
    const CommandResult r = RunCommand(
        "ffmpeg -nostdin -v error -xerror -err_detect crccheck+explode -flags2 +skip_manual -i " +
        ShellQuote(file) + " -af asetpts=N/SR/TB -f s16le -y " + ShellQuote(pcm));
    Decoded decoded{{}, r.err, r.exitStatus};
    const Bytes bytes = ReadFile(pcm);
    decoded.samples.resize(bytes.size() / 2);
    std::memcpy(decoded.samples.data(), bytes.data(), decoded.samples.size() * 2);
    std::filesystem::remove(pcm);
    return decoded;
}

const std::string kProgram = std::string(VELMORA_BINARY_DIR) + "/src/velmora";

CommandResult RunVelmora(const std::vector<std::string>& arguments, const std::string& before,
                         const std::string& after, const std::string& setUp) {
    std::string line = setUp + " env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + before +
                       " " + ShellQuote(kProgram);
    for (const std::string& argument : arguments) {
        line += " " + ShellQuote(argument);
    }
    return RunCommand(line + " " + after);
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

#ifdef _WIN32
// Under Wine the host's tools are started through the host's own shell, /bin/sh, which Wine
// runs as a Unix process. Wine neither waits for such a process nor learns its exit status,
// so the shell writes the status into a file, renamed into place once complete, and the
// test waits for that file.
int RunHostShell(const std::string& script, const std::string& statusFile) {
    // The script reaches the shell as one argument in Windows quoting rules: backslashes are
    // literal except in front of a quote, where they and the quote are escaped.
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : script) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    quoted += '"';
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, quoted.data(),
                                             static_cast<int>(quoted.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, quoted.data(), static_cast<int>(quoted.size()), wide.data(),
                          length);
    std::wstring commandLine = L"Z:\\bin\\sh -c " + wide;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process)) {
        ADD_FAILURE() << "the host shell could not be started (error " << ::GetLastError() << ")";
        return -1;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    // Generous: an encoder run on a loaded machine; the wait ends as soon as the file is there.
    for (int i = 0; i < 6000 && !fs::exists(statusFile); ++i) {
        ::Sleep(50);
    }
    if (!fs::exists(statusFile)) {
        ADD_FAILURE() << "the host shell did not finish: " << script;
        return -1;
    }
    const std::string status = ReadTextFile(statusFile);
    std::error_code ignored;
    fs::remove(statusFile, ignored);
    return std::atoi(status.c_str());
}
#endif

CommandResult RunCommand(const std::string& commandLine) {
    static int counter = 0;
    const fs::path dir = fs::path(VELMORA_TEST_TMP) / "commands";
    fs::create_directories(dir);
    const std::string stem =
        (dir / (CurrentTestName() + "." + std::to_string(counter++))).generic_string();
    const std::string outFile = stem + ".out";
    const std::string errFile = stem + ".err";
    const std::string full = "( " + commandLine + " ) </dev/null >" + ShellQuote(outFile) + " 2>" +
                             ShellQuote(errFile);
    CommandResult result;
#ifdef _WIN32
    const std::string statusFile = stem + ".status";
    result.exitStatus = RunHostShell(full + "; echo $? >" + ShellQuote(statusFile + ".part") +
                                         " && mv " + ShellQuote(statusFile + ".part") + " " +
                                         ShellQuote(statusFile),
                                     statusFile);
#else
    const int raw = std::system(full.c_str());
    result.exitStatus = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
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
