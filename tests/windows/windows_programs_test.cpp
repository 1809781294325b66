// The Windows programs as a user or a script starts them: raw command lines through
// CreateProcessW and cmd, outputs compared with the Linux program's, the window driven
// through its controls, the settings file kept between two starts.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/files/file_names.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::wstring Wide(const std::string& text) {
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          length);
    return wide;
}

std::string Utf8(const std::wstring& text) {
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                          length, nullptr, nullptr);
    return utf8;
}

// The name as a Windows user writes it: drive letter and backslashes ("Z:\work\...").
std::string WindowsName(const std::string& name) {
    std::wstring full(32768, L'\0');
    const DWORD length = ::GetFullPathNameW(Wide(name).c_str(), static_cast<DWORD>(full.size()),
                                            full.data(), nullptr);
    full.resize(length);
    return Utf8(full);
}

std::string Program(const char* name) {
    return WindowsName(std::string(VELMORA_BINARY_DIR) + "/src/" + name);
}

struct ProgramRun {
    DWORD exitStatus = 999;
    std::string out;
    std::string err;
};

HANDLE InheritableFile(const std::wstring& name) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts `commandLine` exactly as given, the way Explorer or a script's CreateProcess does,
// and waits for it; standard output and error are caught in files.
ProgramRun RunRaw(const std::string& commandLine, const std::string& folder) {
    // A file of its own for every run: Wine may still hold the last run's for a moment.
    static int counter = 0;
    const std::string stem = folder + "/run" + std::to_string(++counter);
    const HANDLE out = InheritableFile(Wide(stem + ".out"));
    const HANDLE err = InheritableFile(Wide(stem + ".err"));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    std::wstring line = Wide(commandLine);
    const std::wstring directory = Wide(WindowsName(folder));
    ProgramRun run;
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                         directory.c_str(), &startup, &process)) {
        ::WaitForSingleObject(process.hProcess, 120000);
        ::GetExitCodeProcess(process.hProcess, &run.exitStatus);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "cannot start " << commandLine << " (error " << ::GetLastError() << ")";
    }
    ::CloseHandle(out);
    ::CloseHandle(err);
    run.out = test::ReadTextFile(stem + ".out");
    run.err = test::ReadTextFile(stem + ".err");
    return run;
}

std::string WithoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// A 48 kHz 448 kbit/s AC-3 stream made by the host's ffmpeg: one of the formats whose added
// frames can be stored silence.
void MakeAc3(const std::string& name, int seconds) {
    const auto made = test::RunCommand(
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=" + std::to_string(seconds) +
        " -ac 6 -ar 48000 -c:a ac3 -b:a 448k " + test::ShellQuote(name));
    ASSERT_EQ(made.exitStatus, 0) << made.err;
}

TEST(WindowsPrograms, BatchRunsMatchTheLinuxProgram) {
    ASSERT_TRUE(test::HaveFfmpeg());
    ASSERT_TRUE(fs::exists(VELMORA_LINUX_PROGRAM))
        << VELMORA_LINUX_PROGRAM << " is missing: build the release preset first (make test does)";
    const test::ScratchDir dir;
    const std::string source = dir.File("Film ü DELAY -40ms.ac3");
    MakeAc3(source, 4);
    const std::string cli = Program("velmora-cli.exe");
    const std::string gui = Program("velmora.exe");
    const std::string src = WindowsName(source);
    // The same stream with the sync word of its 51st frame destroyed, for a repair.
    const std::string damaged = dir.File("damaged.ac3");
    test::Bytes bytes = test::ReadFile(PathFromUtf8(source));
    bytes[50 * 1792] = 0;
    test::WriteFile(PathFromUtf8(damaged), bytes);
    // PCM, whose samples Windows copies by plain reads and writes.
    const std::string wav = dir.File("take.wav");
    const auto madeWav = test::RunCommand("ffmpeg -v error -y -f lavfi -i sine=duration=2 -ac 2 "
                                          "-c:a pcm_s24le " + test::ShellQuote(wav));
    ASSERT_EQ(madeWav.exitStatus, 0) << madeWav.err;

    struct Row {
        const char* name;
        // {T} stands for the target's Windows name.
        std::string commandLine;
        // The same run for the Linux program, less the program and the target.
        std::string linuxSwitches;
        bool printsReport;
        // The console program says so when a run would have shown the window.
        bool wantsWindow;
        bool repairs = false;  // of the damaged stream
        bool ofWav = false;    // of the WAV file
    };
    const std::vector<Row> rows = {
        {"quoted paths with blanks and a non-ASCII name",
         "\"" + cli + "\" /Source \"" + src + "\" /Target \"{T}\" /Startdelay -100 /Enddelay 64",
         "/Startdelay -100 /Enddelay 64", true, true},
        {"/Source given last, upper and lower case",
         "\"" + cli + "\" /TARGET \"{T}\" /startdelay 250 /Silence /Hidden /Source \"" + src + "\"",
         "/Startdelay 250 /Silence", true, false},
        {"the window program in a /Hidden run",
         "\"" + gui + "\" /Source \"" + src + "\" /Target \"{T}\" /Startdelay -40 /Hidden",
         "/Startdelay -40", false, false},
        {"cmd /c with the program name unquoted",
         "cmd /c velmora-cli.exe /Source \"" + src + "\" /Target \"{T}\" /Startdelay 120 "
         "/Enddelay -200 /Close",
         "/Startdelay 120 /Enddelay -200", true, true},
        {"a repair", "\"" + cli + "\" /Source \"" + WindowsName(damaged) +
                         "\" /Target \"{T}\" /Startdelay -100 /Repair /Hidden",
         "/Startdelay -100 /Repair", true, false, true},
        {"a WAV file", "\"" + cli + "\" /Source \"" + WindowsName(wav) +
                           "\" /Target \"{T}\" /Startdelay -100 /Enddelay 64 /Hidden",
         "/Startdelay -100 /Enddelay 64", true, false, false, true},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string folder = dir.File("run" + std::to_string(++index));
        fs::create_directories(folder + "/windows");
        fs::create_directories(folder + "/linux");
        std::string commandLine = row.commandLine;
        const std::string target = folder + "/windows/fixed ü.ac3";
        commandLine.replace(commandLine.find("{T}"), 3, WindowsName(target));
        // cmd finds the unquoted program in its current folder.
        const ProgramRun windows = RunRaw(
            commandLine, row.commandLine.starts_with("cmd") ? std::string(VELMORA_BINARY_DIR) +
                                                                  "/src"
                                                            : folder);

        const std::string linuxTarget = folder + "/linux/fixed ü.ac3";
        const auto linux = test::RunCommand(std::string(VELMORA_LINUX_PROGRAM) + " /Source " +
                                            test::ShellQuote(row.repairs ? damaged
                                                             : row.ofWav ? wav
                                                                         : source) +
                                            " /Target " +
                                            test::ShellQuote(linuxTarget) + " " +
                                            row.linuxSwitches + " /Hidden");
        ASSERT_EQ(linux.exitStatus, 0) << linux.err;
        EXPECT_EQ(windows.exitStatus, 0u) << windows.err;
        EXPECT_EQ(windows.err,
                  row.wantsWindow ? "velmora: the console program shows no window "
                                    "(velmora.exe does); running without one.\r\n"
                  : row.repairs   ? "1 damaged frame replaced by silence; the timing is kept.\r\n"
                                  : "");
        const test::Bytes written = test::ReadFile(PathFromUtf8(target));
        EXPECT_GT(written.size(), 100000u);
        EXPECT_EQ(written, test::ReadFile(PathFromUtf8(linuxTarget)));
        const std::string report = test::ReadTextFile(PathFromUtf8(folder + "/windows/fixed ü.txt"));
        EXPECT_NE(report.find("have been written."), std::string::npos);
        EXPECT_EQ(report, test::ReadTextFile(PathFromUtf8(folder + "/linux/fixed ü.txt")));
        // The console keeps Windows line ends; the text is the same.
        EXPECT_EQ(WithoutCarriageReturns(windows.out), row.printsReport ? linux.out : "");
    }
}

TEST(WindowsPrograms, ExitStatusesOfRefusedRuns) {
    const test::ScratchDir dir;
    const std::string cli = "\"" + Program("velmora-cli.exe") + "\"";
    const struct {
        std::string arguments;
        DWORD status;
        std::string message;
        bool onStandardOutput = false;  // the usage text, asked for
    } rows[] = {
        {"/Source x.ac3 /Startdelay 0", 2, "Wrong parameters."},
        {"/Source missing.ac3 /Target t.ac3 /Startdelay 0", 1,
         "Source file \"missing.ac3\" does not exist."},
        {"/Source x.ac3 /Target t.ac3 /Startdelay abc /Hidden", 2,
         "/Startdelay \"abc\" is not a whole number of milliseconds."},
        {"/Source x.ac3 /Target t.ac3 /Startdelay 0 /Enddleay 5 /Hidden", 2,
         "unknown switch \"/Enddleay\"."},
        {"/?", 0, "velmora.ini beside the program.", true},
        {"-h", 0, "Usage: velmora", true},
        {"--help", 0, "Usage: velmora", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments);
        const ProgramRun run = RunRaw(cli + " " + row.arguments, dir.Path().generic_string());
        EXPECT_EQ(run.exitStatus, row.status);
        const std::string& said = row.onStandardOutput ? run.out : run.err;
        EXPECT_NE(said.find(row.message), std::string::npos) << said;
    }
}

struct FoundWindow {
    DWORD process = 0;
    HWND window = nullptr;
};

BOOL CALLBACK FindProgramWindow(HWND window, LPARAM data) {
    auto* found = reinterpret_cast<FoundWindow*>(data);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (process == found->process && std::wstring(name) == L"VelmoraMainWindow" &&
        ::IsWindowVisible(window)) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

std::string ControlText(HWND window, int id) {
    wchar_t text[4096] = {};
    ::SendMessageW(::GetDlgItem(window, id), WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    return Utf8(text);
}

// The control numbers of the window: 100 plus the place in its tab order.
constexpr int kLblSource = 101;
constexpr int kEdSource = 102;
constexpr int kEdTarget = 105;
constexpr int kChkAddSilent = 112;
constexpr int kChkRepair = 113;
constexpr int kCmdWrite = 114;

TEST(WindowsPrograms, WindowWritesAndKeepsTheCheckBoxForTheNextStart) {
    ASSERT_TRUE(test::HaveFfmpeg());
    const test::ScratchDir dir;
    // A copy of the program, so that its velmora.ini lies in this test's folder.
    const std::string program = dir.File("velmora.exe");
    fs::copy_file(std::string(VELMORA_BINARY_DIR) + "/src/velmora.exe", program);
    test::WriteTextFile(dir.File("velmora.ini"),
                        "[Settings]\r\nAdd Silence=0\r\nRepair=1\r\nWindow Size=760x520\r\n");
    const std::string source = dir.File("Evening News.ac3");
    MakeAc3(source, 3);

    // A bare quoted name, as Explorer passes a file dropped on the program.
    std::wstring line = Wide("\"" + WindowsName(program) + "\" \"" + WindowsName(source) + "\"");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process));
    FoundWindow found{process.dwProcessId, nullptr};
    for (int i = 0; i < 1200 && found.window == nullptr; ++i) {
        ::Sleep(50);
        ::EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&found));
    }
    ASSERT_NE(found.window, nullptr) << "the window did not show";
    const HWND window = found.window;

    EXPECT_EQ(ControlText(window, kEdSource), WindowsName(source));
    RECT client{};
    ::GetClientRect(window, &client);
    const unsigned dpi = ::GetDpiForWindow(window);
    EXPECT_EQ(client.right, ::MulDiv(760, static_cast<int>(dpi), 96));
    EXPECT_EQ(client.bottom, ::MulDiv(520, static_cast<int>(dpi), 96));
    // The name box has its sunken border, and its line of text stands level with its label.
    const HWND box = ::GetDlgItem(window, kEdSource);
    EXPECT_NE(::GetWindowLongPtrW(box, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    RECT boxRect{};
    RECT labelRect{};
    ::GetWindowRect(box, &boxRect);
    ::GetWindowRect(::GetDlgItem(window, kLblSource), &labelRect);
    EXPECT_LE(std::abs((boxRect.top + boxRect.bottom) - (labelRect.top + labelRect.bottom)), 2);
    EXPECT_LT(boxRect.bottom - boxRect.top, labelRect.bottom - labelRect.top);
    const std::string target = ControlText(window, kEdTarget);
    EXPECT_EQ(target, WindowsName(dir.File("Evening News_fix.ac3")));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(window, kCmdWrite)));
    // Restored from the file: silence unchecked, repair checked.
    EXPECT_EQ(::SendMessageW(::GetDlgItem(window, kChkAddSilent), BM_GETCHECK, 0, 0),
              BST_UNCHECKED);
    EXPECT_EQ(::SendMessageW(::GetDlgItem(window, kChkRepair), BM_GETCHECK, 0, 0), BST_CHECKED);

    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(::GetDlgItem(window, kChkAddSilent), BM_CLICK, 0, 0, SMTO_NORMAL,
                          60000, &ignored);
    EXPECT_EQ(::SendMessageW(::GetDlgItem(window, kChkAddSilent), BM_GETCHECK, 0, 0),
              BST_CHECKED);
    ::SendMessageTimeoutW(::GetDlgItem(window, kCmdWrite), BM_CLICK, 0, 0, SMTO_NORMAL, 60000,
                          &ignored);
    EXPECT_FALSE(test::ReadFile(dir.File("Evening News_fix.ac3")).empty());
    EXPECT_NE(test::ReadTextFile(dir.File("Evening News_fix.txt")).find("have been written."),
              std::string::npos);

    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(::WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD status = 999;
    ::GetExitCodeProcess(process.hProcess, &status);
    EXPECT_EQ(status, 0u);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    const std::wstring ini = Wide(WindowsName(dir.File("velmora.ini")));
    EXPECT_EQ(::GetPrivateProfileIntW(L"Settings", L"Add Silence", 7, ini.c_str()), 1u);
    EXPECT_EQ(::GetPrivateProfileIntW(L"Settings", L"Repair", 7, ini.c_str()), 1u);
    // The source's folder and the size, for the next start's dialogs and window.
    for (const auto& [key, value] :
         {std::pair{L"Last Folder", Wide(WindowsName(dir.Path().string()))},
          std::pair{L"Window Size", std::wstring(L"760x520")}}) {
        std::wstring stored(4096, L'\0');
        stored.resize(::GetPrivateProfileStringW(L"Settings", key, L"", stored.data(),
                                                 static_cast<DWORD>(stored.size()), ini.c_str()));
        EXPECT_EQ(stored, value);
    }

    // The next start reads the stored 1: frames added at the start are silence, without
    // /Silence on the command line.
    const ProgramRun next = RunRaw("\"" + WindowsName(program) + "\" /Source \"" +
                                       WindowsName(source) + "\" /Target \"" +
                                       WindowsName(dir.File("later.ac3")) +
                                       "\" /Startdelay 200 /Hidden",
                                   dir.Path().generic_string());
    EXPECT_EQ(next.exitStatus, 0u);
    EXPECT_NE(test::ReadTextFile(dir.File("later.txt")).find("silent frames (192ms) have been added"),
              std::string::npos)
        << test::ReadTextFile(dir.File("later.txt"));
}

}  // namespace
}  // namespace velmora
