// Whether a name leads to something on disk.
#include "common/file_exists.h"

#include <filesystem>
#include <system_error>

namespace velmora {

bool FileExists(const std::string& name) {
    std::error_code ignored;
    return !name.empty() && std::filesystem::exists(name, ignored);
}

}  // namespace velmora
