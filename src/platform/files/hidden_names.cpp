// Names of the files Velmora keeps beside a target while it writes.
#include "platform/files/hidden_names.h"

#include <cstdint>
#include <cstdio>
#include <random>

#include "platform/files/file_safety.h"

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
    if (fileName.size() <= kNameBytesKept) {
        return folder + "." + fileName + suffix;
    }
    // Two long names that begin alike must not meet on one lock: a name cut to fit carries
    // a hash (64-bit FNV-1a) of the whole name.
    std::uint64_t hash = 0xcbf29ce484222325U;
    for (const char c : fileName) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3U;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return folder + "." + ShortenedName(fileName, kNameBytesKept - 17) + "~" + digits + suffix;
}

std::string UnfinishedSuffix(std::string_view letters) {
    static std::mt19937 draw{std::random_device{}()};
    std::string suffix = kUnfinishedMark;
    for (int i = 0; i < 6; ++i) {
        suffix += letters[draw() % letters.size()];
    }
    return suffix;
}

}  // namespace velmora
