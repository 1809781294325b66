// The few places of a source the analysis looks at, read without scanning the file.
#include "analysis/source_reader.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "formats/byte_order.h"
#include "platform/files/file_names.h"

namespace velmora {

SourceReader::SourceReader(const std::string& name) {
    std::error_code ec;
    if (std::filesystem::is_directory(PathFromUtf8(name), ec)) {
        error_ = "it is a folder, not a file";
        return;
    }
    if (!file_.Open(name)) {
        error_ = file_.Reason();
        return;
    }
    const auto length = file_.Length();
    if (!length) {
        error_ = file_.Reason();
        return;
    }
    length_ = *length;
    open_ = true;
}

std::vector<std::uint8_t> SourceReader::Read(std::int64_t offset, std::size_t count) {
    if (!swapFrom_) {
        return ReadAsStored(offset, count);
    }
    // Whole words around the bytes asked for, swapped, then cut to them.
    const std::int64_t odd = (offset - *swapFrom_) & 1;
    std::vector<std::uint8_t> words =
        ReadAsStored(offset - odd, (count + static_cast<std::size_t>(odd) + 1) & ~std::size_t{1});
    SwapWords(words);
    words.erase(words.begin(), words.begin() + odd);
    words.resize(count);
    return words;
}

std::vector<std::uint8_t> SourceReader::ReadAsStored(std::int64_t offset, std::size_t count) {
    std::vector<std::uint8_t> bytes(count, 0);
    if (!open_ || offset < 0 || offset >= length_) {
        return bytes;
    }
    // Past the end are zeros; only a file that cannot be read, or shrank, is worth a word.
    const auto wanted = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(count), length_ - offset));
    if ((!file_.Seek(offset) || file_.Read(bytes.data(), wanted) < wanted) && error_.empty()) {
        error_ = file_.Reason();
    }
    return bytes;
}

}  // namespace velmora
