// The one sentence for a file that failed, the same on every system.
#include "correction/byte_file.h"

namespace velmora {

std::string FileFailure(const std::string& what, const std::string& name, const std::string& done,
                        const std::string& reason) {
    return what + " file \"" + name + "\" could not be " + done + ": " + reason + ".";
}

}  // namespace velmora
