// The few places of a source the analysis looks at, read without scanning the file.
#include "analysis/source_reader.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/files/file_names.h"

namespace velmora {

SourceReader::SourceReader(const std::string& name) {
    std::error_code ec;
    if (std::filesystem::is_directory(PathFromUtf8(name), ec)) {
        error_ = "it is a folder, not a file";
        return;
    }
    const std::uintmax_t size = std::filesystem::file_size(PathFromUtf8(name), ec);
    if (ec) {
        error_ = ec.message();
        return;
    }
    length_ = static_cast<std::int64_t>(size);
    errno = 0;
    file_.reset(OpenForReading(name));
    if (!file_) {
        error_ = std::strerror(errno);
    }
}

std::vector<std::uint8_t> SourceReader::Read(std::int64_t offset, std::size_t count) {
    std::vector<std::uint8_t> bytes(count, 0);
    if (!file_ || offset < 0 || offset >= length_ ||
        fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) {
        return bytes;
    }
    // A short read past the end leaves zeros; only an error is worth a word.
    if (std::fread(bytes.data(), 1, count, file_.get()) < count && std::ferror(file_.get()) &&
        error_.empty()) {
        error_ = std::strerror(errno != 0 ? errno : EIO);
    }
    return bytes;
}

}  // namespace velmora
