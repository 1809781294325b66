// Velmora's entry: the start-up sequence, from the command line to the end of the run.
#include <iostream>
#include <memory>

#include "app/front_end_choice.h"
#include "app/posix_arguments.h"
#include "app/start_up.h"
#include "app/window_events.h"
#include "platform/display.h"
#include "platform/headless/headless_front_end.h"
#include "platform/program_directory.h"

#ifdef VELMORA_HAVE_QT
#include "platform/qt/qt_front_end.h"
constexpr bool kWindowBuilt = true;
#else
constexpr bool kWindowBuilt = false;
#endif

namespace {

std::unique_ptr<velmora::FrontEnd> MakeFrontEnd(const velmora::StartRequest& request, int& argc,
                                                char** argv) {
    const velmora::FrontEndChoice choice =
        velmora::ChooseFrontEnd(request, kWindowBuilt, velmora::DisplayAvailable());
#ifdef VELMORA_HAVE_QT
    if (choice.useWindow) {
        return velmora::MakeQtFrontEnd(argc, argv);
    }
#else
    static_cast<void>(argc);
    static_cast<void>(argv);
#endif
    if (!choice.notice.empty()) {
        std::cerr << choice.notice << std::endl;
    }
    return std::make_unique<velmora::HeadlessFrontEnd>(std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace velmora;
    ProgramState state = InitGlobals(ProgramDirectory(argc > 0 ? argv[0] : nullptr));
    const StartRequest request = ReadArgv(argc, argv);
    const std::unique_ptr<FrontEnd> frontEnd = MakeFrontEnd(request, argc, argv);  // hidden window
    MainWindow window(state, frontEnd->View());
    frm_WinMain_Load(frontEnd->View(), state.SettingsPath);
    frontEnd->Attach(window, [&] { frm_WinMain_Close(frontEnd->View(), state.SettingsPath); });
    const StartUpResult started = StartUp(request, window);
    if (!started.programEnds) {
        frontEnd->RunEventLoop();
    }
    frontEnd->Finish();
    // A batch run's status stands when its window stayed open afterwards; other starts end with 0.
    return started.exitStatus;
}
