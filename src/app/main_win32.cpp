// The entry of both Windows programs: velmora.exe (the window, message boxes included) and,
// built with VELMORA_CONSOLE_PROGRAM, velmora-cli.exe for scripts, which cmd and PowerShell
// wait for and whose messages and report go to the console.
#include <windows.h>

#include <iostream>
#include <memory>

#include "app/command_line.h"
#include "app/run_program.h"
#include "app/start_up.h"
#include "app/usage_text.h"
#include "common/system_text_win32.h"
#include "platform/files/file_safety.h"
#include "platform/headless/headless_front_end.h"
#include "platform/win32/win32_front_end.h"

namespace {

// The folder of the running executable, whatever the current folder is.
std::string ProgramFolder() {
    std::wstring name(32768, L'\0');
    const DWORD length =
        ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    name.resize(length);
    const std::size_t separator = name.find_last_of(L"\\/");
    return velmora::Utf8FromWide(separator == std::wstring::npos ? std::wstring(L".")
                                                                 : name.substr(0, separator));
}

std::unique_ptr<velmora::FrontEnd> MakeFrontEnd([[maybe_unused]] const velmora::StartRequest& request) {
#ifdef VELMORA_CONSOLE_PROGRAM
    // Names in the report are UTF-8; the console shows them only in that code page.
    ::SetConsoleOutputCP(CP_UTF8);
    if (velmora::WantsWindow(request)) {
        std::cerr << "velmora: the console program shows no window (velmora.exe does); "
                     "running without one."
                  << std::endl;
    }
    return std::make_unique<velmora::HeadlessFrontEnd>(std::cout, std::cerr);
#else
    return velmora::MakeWin32FrontEnd();
#endif
}

}  // namespace

int main() {
    using namespace velmora;
    RemoveUnfinishedFilesOnSignals();
    ProgramState state = InitGlobals(ProgramFolder());
    // The raw command line, program name and all, read by the rules made for it.
    const StartRequest request = ReadRawCommandLine(Utf8FromWide(::GetCommandLineW()));
    if (request.mode == StartMode::Help || request.mode == StartMode::Version) {
#ifdef VELMORA_CONSOLE_PROGRAM
        ::SetConsoleOutputCP(CP_UTF8);
        return PrintProgramInformation(request.mode, std::cout);
#else
        // The window program has no console to print to.
        const std::string text =
            request.mode == StartMode::Help ? HelpText() : VersionText();
        ::MessageBoxW(nullptr, WideFromUtf8(text).c_str(), L"Velmora", MB_OK);
        return 0;
#endif
    }
    const std::unique_ptr<FrontEnd> frontEnd = MakeFrontEnd(request);
    return RunProgram(state, request, *frontEnd);
}
