// Choosing between the desktop window and the headless front end.
#include "app/front_end_choice.h"

#include "app/start_up.h"

namespace velmora {

FrontEndChoice ChooseFrontEnd(const StartRequest& request, bool windowBuilt,
                              bool displayAvailable) {
    if (!WantsWindow(request)) {
        return {};
    }
    if (!windowBuilt) {
        return {false, "velmora: this build has no window; running without one."};
    }
    if (!displayAvailable) {
        return {false, "velmora: no display found; running without a window."};
    }
    return {true, ""};
}

}  // namespace velmora
