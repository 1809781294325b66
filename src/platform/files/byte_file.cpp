// What the file layer does the same on every system: the sentence for a file that failed,
// and the members that only call the system's own.
#include "platform/files/byte_file.h"

#include <algorithm>
#include <vector>

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

CopyRangeEnd OutputFile::CopyByReading(InputFile& source, std::int64_t offset,
                                       std::int64_t count) {
    if (!source.Seek(offset)) {
        return CopyRangeEnd::ReadFailed;
    }
    std::vector<std::uint8_t> block(std::size_t{1} << 20);
    for (std::int64_t left = count; left > 0;) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
        if (source.Read(block.data(), want) != want) {
            return CopyRangeEnd::ReadFailed;
        }
        if (!Write(block.data(), want)) {
            return CopyRangeEnd::WriteFailed;
        }
        left -= static_cast<std::int64_t>(want);
    }
    return CopyRangeEnd::Done;
}

bool OutputFile::Write(const std::string& text) {
    return Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

}  // namespace velmora
