// The front end for runs without a display.
#include "platform/headless/headless_front_end.h"


namespace velmora {

bool HeadlessFrontEnd::Finish() {
    return view_.PrintInformation();
}

}  // namespace velmora
