// What the file layer does the same on every system: the sentence for a file that failed,
// and the members that only call the system's own.
#include "platform/files/byte_file.h"

namespace velmora {

std::string FileFailure(const std::string& what, const std::string& name, const std::string& done,
                        const std::string& reason) {
    return what + " file \"" + name + "\" could not be " + done + ": " + reason + ".";
}

InputFile::~InputFile() {
    Close();
}

OutputFile::~OutputFile() {
    static_cast<void>(Close());
}

bool OutputFile::Write(const std::string& text) {
    return Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

}  // namespace velmora
