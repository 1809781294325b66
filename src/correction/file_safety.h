// Questions about files by name that the writer asks before and after it writes: is this the
// same file as that one, and removing a file it could not complete.
#pragma once

#include <string>

namespace velmora {

// True when both names lead to one and the same existing file, however they are spelt:
// "./", "..", symbolic and hard links, or another letter case on a file system that ignores it.
[[nodiscard]] bool SameExistingFile(const std::string& a, const std::string& b);

// Removes a file the writer created but could not complete. Only a regular file goes (through
// a symbolic link, the file it leads to); a device such as /dev/full is left alone.
void RemoveIncompleteFile(const std::string& name);

}  // namespace velmora
