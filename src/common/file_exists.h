// Whether a name leads to something on disk: the test the window and start-up make before
// they take a name as a source.
#pragma once

#include <string>

namespace velmora {

// False for an empty name and when the file system cannot tell.
[[nodiscard]] bool FileExists(const std::string& name);

}  // namespace velmora
