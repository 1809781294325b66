// Questions about files by name that the writer asks before and after it writes.
#include "correction/file_safety.h"

#include <filesystem>
#include <system_error>

namespace velmora {

namespace fs = std::filesystem;

bool SameExistingFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (!fs::exists(fs::path(a), error) || !fs::exists(fs::path(b), error)) {
        return false;
    }
    const bool same = fs::equivalent(fs::path(a), fs::path(b), error);
    if (!error) {
        return same;
    }
    // The system could not compare them; fall back on the resolved names rather than risk
    // writing over the source.
    std::error_code errorA;
    std::error_code errorB;
    const fs::path canonicalA = fs::weakly_canonical(fs::path(a), errorA);
    const fs::path canonicalB = fs::weakly_canonical(fs::path(b), errorB);
    return !errorA && !errorB && canonicalA == canonicalB;
}

void RemoveIncompleteFile(const std::string& name) {
    std::error_code error;
    fs::path path(name);
    if (fs::is_symlink(fs::symlink_status(path, error))) {
        path = fs::canonical(path, error);
        if (error) {
            return;
        }
    }
    if (fs::is_regular_file(fs::symlink_status(path, error))) {
        fs::remove(path, error);
    }
}

}  // namespace velmora
