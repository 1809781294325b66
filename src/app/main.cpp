// Velmora's entry: the start-up sequence, from the command line to the end of the run.
#include <iostream>
#include <memory>

#include "app/front_end_choice.h"
#include "app/many_files.h"
#include "app/posix_arguments.h"
#include "app/run_program.h"
#include "app/start_up.h"
#include "app/usage_text.h"
#include "platform/display.h"
#include "platform/files/file_safety.h"
#include "platform/headless/headless_front_end.h"
#include "platform/program_directory.h"
#include "platform/standard_streams.h"
#include "platform/window_module.h"

namespace {

std::unique_ptr<velmora::FrontEnd> MakeFrontEnd(const velmora::StartRequest& request,
                                                const std::string& programDirectory, int& argc,
                                                char** argv) {
    const std::string windowModule = velmora::FindWindowModule(programDirectory);
    velmora::FrontEndChoice choice =
        velmora::ChooseFrontEnd(request, !windowModule.empty(), velmora::DisplayAvailable());
    if (choice.useWindow) {
        velmora::LoadedWindow window = velmora::LoadWindowModule(windowModule, argc, argv);
        if (window.frontEnd) {
            return std::move(window.frontEnd);
        }
        choice.notice =
            "velmora: the window could not be loaded (" + window.error + "); running without one.";
    }
    if (!choice.notice.empty()) {
        std::cerr << choice.notice << std::endl;
    }
    return std::make_unique<velmora::HeadlessFrontEnd>(std::cout, std::cerr,
                                                velmora::StandardErrorIsTerminal());
}

}  // namespace

int main(int argc, char** argv) {
    using namespace velmora;
    OpenMissingStandardStreams();
    RemoveUnfinishedFilesOnSignals();
    const std::string programDirectory = ProgramDirectory(argc > 0 ? argv[0] : nullptr);
    ProgramState state = InitGlobals(programDirectory);
    state.SettingsPath = LocateSettingsFile(state.SettingsPath);
    const StartRequest request = ReadArgv(argc, argv);
    if (request.mode == StartMode::Help || request.mode == StartMode::Version) {
        return PrintProgramInformation(request.mode, std::cout);
    }
    if (request.mode == StartMode::Files) {
        return RunFiles(request.files, state.SettingsPath, std::cout, std::cerr);
    }
    const std::unique_ptr<FrontEnd> frontEnd = MakeFrontEnd(request, programDirectory, argc, argv);
    return RunProgram(state, request, *frontEnd);
}
