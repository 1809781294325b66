// The start-up sequence once the command line is read and the front end is there.
#include "app/run_program.h"

#include "app/start_up.h"
#include "app/window_events.h"
#include "ui/main_window.h"

namespace velmora {

int RunProgram(ProgramState& state, const StartRequest& request, FrontEnd& frontEnd) {
    MainWindow window(state, frontEnd.View());
    frm_WinMain_Load(frontEnd.View(), state);
    frontEnd.Attach(window, [&] { frm_WinMain_Close(frontEnd.View(), state); });
    const StartUpResult started = StartUp(request, window, frontEnd.HasWindow());
    if (!started.programEnds) {
        frontEnd.RunEventLoop();
    }
    const bool printed = frontEnd.Finish();
    // A batch run's status stands when its window stayed open afterwards; other starts end with
    // 0. A report that never reached standard output is a failure a script must see.
    return started.exitStatus == kExitSuccess && !printed ? kExitWriteFailed : started.exitStatus;
}

}  // namespace velmora
