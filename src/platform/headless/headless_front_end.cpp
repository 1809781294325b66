// The front end for runs without a display.
#include "platform/headless/headless_front_end.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace velmora {

bool HeadlessFrontEnd::Finish() {
    errno = 0;
    out_ << TerminalText(view_.Text(TextBox::ed_Info));
    out_.flush();
    if (!out_.fail()) {
        return true;
    }
    // The stream keeps no reason of its own; the system's is still in errno right after.
    const int error = errno;
    view_.ShowMessage(MessageIcon::Stop,
                      std::string("The report could not be written to standard output: ") +
                          (error != 0 ? std::strerror(error) : "unknown error") + ".",
                      "OK", 1);
    return false;
}

}  // namespace velmora
