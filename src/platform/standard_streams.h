// Standard input, output and error that are surely open before any file is.
#pragma once

namespace velmora {

// Opens /dev/null on each of descriptors 0, 1 and 2 that was closed at start (as under some
// schedulers). Otherwise the source or the target would get that number, and a message
// printed for the user, or the name /dev/stdout, would lead into that file.
void OpenMissingStandardStreams();

// Whether standard error is a terminal a person watches, rather than a file or a pipe.
[[nodiscard]] bool StandardErrorIsTerminal();

}  // namespace velmora
