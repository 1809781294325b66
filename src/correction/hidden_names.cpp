// Names of the files Velmora keeps beside a target while it writes.
#include "correction/hidden_names.h"

namespace velmora {

namespace {

// 200 bytes of UTF-8 stay within both systems' limits with the marks added.
constexpr std::size_t kNameBytesKept = 200;

}  // namespace

std::string ShortenedName(const std::string& name, std::size_t bytes) {
    if (name.size() <= bytes) {
        return name;
    }
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) {
        --end;
    }
    return name.substr(0, end);
}

std::string HiddenName(const std::string& folder, const std::string& fileName,
                       const std::string& suffix) {
    return folder + "." + ShortenedName(fileName, kNameBytesKept) + suffix;
}

}  // namespace velmora
