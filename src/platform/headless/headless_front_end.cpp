// The front end for runs without a display.
#include "platform/headless/headless_front_end.h"

namespace velmora {

void HeadlessFrontEnd::Finish() {
    out_ << TerminalText(view_.Text(TextBox::ed_Info));
    out_.flush();
}

}  // namespace velmora
