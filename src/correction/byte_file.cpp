// Whole-block reading and writing of plain byte files, with every failure told in words.
#include "correction/byte_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include <unistd.h>

namespace velmora {

namespace {

// The system's description of an error, or a plain fallback when the library left errno unset.
std::string SystemReason(int error) {
    if (error == 0) {
        return "unknown error";
    }
    return std::strerror(error);
}

// Blocks go straight to the system; a file without a buffer of its own still works, only
// slower, so a refusal here is not worth reporting.
void Unbuffered(std::FILE* file) {
    static_cast<void>(std::setvbuf(file, nullptr, _IONBF, 0));
}

}  // namespace

std::string FileFailure(const std::string& what, const std::string& name, const std::string& done,
                        const std::string& reason) {
    return what + " file \"" + name + "\" could not be " + done + ": " + reason + ".";
}

InputFile::~InputFile() {
    Close();
}

bool InputFile::Open(const std::string& name) {
    Close();
    name_ = name;
    errno = 0;
    file_ = std::fopen(name.c_str(), "rb");
    if (file_ == nullptr) {
        reason_ = SystemReason(errno);
        return false;
    }
    Unbuffered(file_);
    return true;
}

std::optional<std::int64_t> InputFile::Length() {
    // The file system knows the length in 64 bits on every platform, where ftell is limited
    // to a long.
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(std::filesystem::path(name_), error);
    if (error) {
        reason_ = error.message();
        return std::nullopt;
    }
    if (size > static_cast<std::uintmax_t>(std::numeric_limits<std::int64_t>::max())) {
        reason_ = "the file is too large";
        return std::nullopt;
    }
    return static_cast<std::int64_t>(size);
}

std::size_t InputFile::Read(std::uint8_t* data, std::size_t count) {
    if (file_ == nullptr) {
        reason_ = "the file is not open";
        return 0;
    }
    errno = 0;
    const std::size_t got = std::fread(data, 1, count, file_);
    if (got < count) {
        reason_ = std::ferror(file_) != 0 ? SystemReason(errno)
                                          : "the file is shorter than when it was analysed";
    }
    return got;
}

void InputFile::Close() {
    if (file_ != nullptr) {
        // Nothing was written to a file opened for reading, so its close cannot lose data.
        static_cast<void>(std::fclose(file_));
        file_ = nullptr;
    }
}

OutputFile::~OutputFile() {
    static_cast<void>(Close());
}

bool OutputFile::Create(const std::string& name) {
    static_cast<void>(Close());
    errno = 0;
    file_ = std::fopen(name.c_str(), "wb");
    if (file_ == nullptr) {
        reason_ = SystemReason(errno);
        return false;
    }
    Unbuffered(file_);
    return true;
}

bool OutputFile::Write(const std::uint8_t* data, std::size_t count) {
    if (file_ == nullptr) {
        reason_ = "the file is not open";
        return false;
    }
    errno = 0;
    if (std::fwrite(data, 1, count, file_) != count) {
        reason_ = SystemReason(errno);
        return false;
    }
    return true;
}

bool OutputFile::Write(const std::string& text) {
    return Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

bool OutputFile::Truncate(std::int64_t length) {
    if (file_ == nullptr) {
        reason_ = "the file is not open";
        return false;
    }
    errno = 0;
    if (std::fflush(file_) != 0 || ftruncate(fileno(file_), static_cast<off_t>(length)) != 0 ||
        fseeko(file_, static_cast<off_t>(length), SEEK_SET) != 0) {
        reason_ = SystemReason(errno);
        return false;
    }
    return true;
}

bool OutputFile::WriteAt(std::int64_t offset, const std::uint8_t* data, std::size_t count) {
    if (file_ == nullptr) {
        reason_ = "the file is not open";
        return false;
    }
    errno = 0;
    const off_t position = ftello(file_);
    if (position < 0 || fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) {
        reason_ = SystemReason(errno);
        return false;
    }
    const bool written = Write(data, count);
    if (fseeko(file_, position, SEEK_SET) != 0 && written) {
        reason_ = SystemReason(errno);
        return false;
    }
    return written;
}

bool OutputFile::Close() {
    if (file_ == nullptr) {
        return true;
    }
    errno = 0;
    bool ok = std::fflush(file_) == 0;
    if (!ok) {
        reason_ = SystemReason(errno);
    }
    errno = 0;
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        reason_ = SystemReason(errno);
    }
    file_ = nullptr;
    return ok;
}

}  // namespace velmora
