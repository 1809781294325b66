// Whole-block reading and writing of plain byte files, with every failure told in words.
#include "platform/files/byte_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace velmora {

namespace {

// The system's description of an error, or a plain fallback when the library left errno unset.
std::string SystemReason(int error) {
    if (error == 0) {
        return "unknown error";
    }
    return std::strerror(error);
}

// The system moves at most this much in one call; larger blocks are split.
constexpr std::size_t kMostPerCall = std::size_t{1} << 30;

}  // namespace

Folder::~Folder() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool Folder::Open(const std::string& path) {
    const int fd =
        ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        reason_ = SystemReason(errno);
        return false;
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
    path_ = path;
    return true;
}

bool InputFile::Open(const std::string& name) {
    return OpenAt(AT_FDCWD, name);
}

bool InputFile::Open(const Folder& folder, const std::string& name) {
    return OpenAt(folder.Descriptor(), name);
}

bool InputFile::OpenAt(int folder, const std::string& name) {
    Close();
    // Without O_NONBLOCK, opening a pipe would wait for a writer that may never come.
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        reason_ = SystemReason(errno);
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        reason_ = SystemReason(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        reason_ = "not a regular file";
        ::close(fd);
        return false;
    }
    // Reads of a regular file never wait anyway; the flag goes so that nothing else is changed.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        static_cast<void>(::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK));
    }
    fd_ = fd;
    return true;
}

std::optional<std::int64_t> InputFile::Length() {
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0) {
        reason_ = fd_ < 0 ? "the file is not open" : SystemReason(errno);
        return std::nullopt;
    }
    if (status.st_size < 0) {
        reason_ = "the file is too large";
        return std::nullopt;
    }
    return static_cast<std::int64_t>(status.st_size);
}

std::optional<FileIdentity> InputFile::Identity() {
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0) {
        reason_ = fd_ < 0 ? "the file is not open" : SystemReason(errno);
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino)};
}

std::size_t InputFile::Read(std::uint8_t* data, std::size_t count) {
    if (fd_ < 0) {
        reason_ = "the file is not open";
        return 0;
    }
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = ::read(fd_, data + got, std::min(count - got, kMostPerCall));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            reason_ = SystemReason(errno);
            return got;
        }
        if (n == 0) {
            reason_ = "the file is shorter than when it was analysed";
            return got;
        }
        got += static_cast<std::size_t>(n);
    }
    return got;
}

bool InputFile::Seek(std::int64_t offset) {
    if (fd_ < 0 || ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
        reason_ = fd_ < 0 ? "the file is not open" : SystemReason(errno);
        return false;
    }
    return true;
}

void InputFile::Close() {
    if (fd_ >= 0) {
        // Nothing was written to a file opened for reading, so its close cannot lose data.
        static_cast<void>(::close(fd_));
        fd_ = -1;
    }
}

bool OutputFile::CreateNew(const std::string& name, std::optional<unsigned> permissions) {
    return CreateAt(AT_FDCWD, name, permissions);
}

bool OutputFile::CreateNew(const Folder& folder, const std::string& name,
                           std::optional<unsigned> permissions) {
    return CreateAt(folder.Descriptor(), name, permissions);
}

bool OutputFile::CreateAt(int folder, const std::string& name,
                          std::optional<unsigned> permissions) {
    static_cast<void>(Close());
    // O_EXCL with O_CREAT fails on any existing name, a dangling link included.
    const int fd = ::openat(folder, name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        reason_ = SystemReason(errno);
        return false;
    }
    fd_ = fd;
    // fchmod is not limited by the mask, so a replaced file's bits come back exactly.
    if (permissions && ::fchmod(fd_, static_cast<mode_t>(*permissions & 07777)) != 0) {
        reason_ = SystemReason(errno);
        static_cast<void>(Close());
        static_cast<void>(::unlinkat(folder, name.c_str(), 0));
        return false;
    }
    return true;
}

bool OutputFile::Write(const std::uint8_t* data, std::size_t count) {
    if (fd_ < 0) {
        reason_ = "the file is not open";
        return false;
    }
    return WriteAll(data, count, std::nullopt);
}

// Writes until everything is written or the system refuses: at the position of the file,
// or at `offset` without moving it.
bool OutputFile::WriteAll(const std::uint8_t* data, std::size_t count,
                          std::optional<std::int64_t> offset) {
    std::size_t done = 0;
    while (done < count) {
        const std::size_t chunk = std::min(count - done, kMostPerCall);
        const ssize_t n =
            offset ? ::pwrite(fd_, data + done, chunk,
                              static_cast<off_t>(*offset + static_cast<std::int64_t>(done)))
                   : ::write(fd_, data + done, chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            reason_ = n < 0 ? SystemReason(errno) : "nothing could be written";
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::int64_t> OutputFile::Position() {
    if (fd_ < 0) {
        reason_ = "the file is not open";
        return std::nullopt;
    }
    const off_t position = ::lseek(fd_, 0, SEEK_CUR);
    if (position < 0) {
        reason_ = SystemReason(errno);
        return std::nullopt;
    }
    return static_cast<std::int64_t>(position);
}

bool OutputFile::Truncate(std::int64_t length) {
    if (fd_ < 0 || length < 0) {
        reason_ = fd_ < 0 ? "the file is not open" : "a negative length";
        return false;
    }
    while (::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
        if (errno != EINTR) {
            reason_ = SystemReason(errno);
            return false;
        }
    }
    if (::lseek(fd_, static_cast<off_t>(length), SEEK_SET) < 0) {
        reason_ = SystemReason(errno);
        return false;
    }
    return true;
}

CopyRangeEnd OutputFile::CopyFrom(InputFile& source, std::int64_t offset, std::int64_t count) {
    auto from = static_cast<off_t>(offset);
    std::int64_t left = count;
    while (left > 0 && fd_ >= 0 && source.fd_ >= 0) {
        const ssize_t n = ::copy_file_range(
            source.fd_, &from, fd_, nullptr,
            static_cast<std::size_t>(std::min(left, static_cast<std::int64_t>(kMostPerCall))), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // Across file systems, on systems without the call, at an early end and on any
            // failure: plain reads and writes go on from here, and tell which file failed.
            break;
        }
        left -= n;
    }
    return left == 0 ? CopyRangeEnd::Done
                     : CopyByReading(source, static_cast<std::int64_t>(from), left);
}

bool OutputFile::WriteAt(std::int64_t offset, const std::uint8_t* data, std::size_t count) {
    if (fd_ < 0 || offset < 0) {
        reason_ = fd_ < 0 ? "the file is not open" : "a negative offset";
        return false;
    }
    return WriteAll(data, count, offset);
}

bool OutputFile::Close() {
    if (fd_ < 0) {
        return true;
    }
    // A close that fails has still released the descriptor; it must not be closed again.
    const int result = ::close(fd_);
    fd_ = -1;
    if (result != 0 && errno != EINTR) {
        reason_ = SystemReason(errno);
        return false;
    }
    return true;
}

}  // namespace velmora
