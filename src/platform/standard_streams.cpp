// Standard input, output and error that are surely open before any file is.
#include "platform/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace velmora {

void OpenMissingStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // open() returns the lowest free number, which is this one.
            static_cast<void>(::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY));
        }
    }
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace velmora
