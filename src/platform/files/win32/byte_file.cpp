// Whole-block reading and writing of plain byte files on Windows, with every failure told in
// words. The files are system handles kept as C run-time descriptors, so the class layout is
// the same as on other systems.
#include "platform/files/byte_file.h"

#include <windows.h>
#include <io.h>

#include <algorithm>
#include <fcntl.h>

#include "common/system_text_win32.h"

namespace velmora {

namespace {

// ReadFile and WriteFile take 32-bit counts; larger blocks are split.
constexpr std::size_t kMostPerCall = std::size_t{1} << 30;

HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

// Hands the handle to a descriptor, which owns it from then on; -1 when that fails, the
// handle then closed.
int Adopt(HANDLE handle, int flags) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (fd < 0) {
        ::CloseHandle(handle);
    }
    return fd;
}

std::string LastReason() {
    return SystemErrorText(::GetLastError());
}

// Folders are refused before opening: opened without the backup flag they only give
// "Access is denied", which would hide what is wrong.
bool IsFolder(const std::wstring& name) {
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool SetPosition(HANDLE handle, std::int64_t offset, DWORD from, std::int64_t* result) {
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER position{};
    if (!::SetFilePointerEx(handle, distance, &position, from)) {
        return false;
    }
    if (result != nullptr) {
        *result = position.QuadPart;
    }
    return true;
}

}  // namespace

// Windows programs name folders, not descriptors: the folder's name is what is kept.
Folder::~Folder() = default;

bool Folder::Open(const std::string& path) {
    if (!path.empty()) {
        const DWORD attributes = ::GetFileAttributesW(SystemFileName(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            reason_ = LastReason();
            return false;
        }
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            reason_ = SystemErrorText(ERROR_DIRECTORY);
            return false;
        }
    }
    path_ = path;
    return true;
}

bool InputFile::Open(const Folder& folder, const std::string& name) {
    return Open(folder.Path() + name);
}

bool OutputFile::CreateNew(const Folder& folder, const std::string& name,
                           std::optional<unsigned> permissions) {
    return CreateNew(folder.Path() + name, permissions);
}

bool InputFile::Open(const std::string& name) {
    Close();
    const std::wstring wide = SystemFileName(name);
    if (IsFolder(wide)) {
        reason_ = "not a regular file";
        return false;
    }
    // Others may go on reading and writing it, but not rename or delete it: while it is read
    // no other name can come to lead to it, so no write can land on it by another name.
    const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason_ = LastReason();
        return false;
    }
    // A device (NUL, CON, COM1) or a pipe opens like a file but is none.
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        reason_ = "not a regular file";
        return false;
    }
    fd_ = Adopt(handle, _O_RDONLY | _O_BINARY);
    if (fd_ < 0) {
        reason_ = "too many open files";
        return false;
    }
    return true;
}

std::optional<std::int64_t> InputFile::Length() {
    LARGE_INTEGER size{};
    if (fd_ < 0 || !::GetFileSizeEx(HandleOf(fd_), &size)) {
        reason_ = fd_ < 0 ? "the file is not open" : LastReason();
        return std::nullopt;
    }
    return static_cast<std::int64_t>(size.QuadPart);
}

std::optional<FileIdentity> InputFile::Identity() {
    BY_HANDLE_FILE_INFORMATION information{};
    if (fd_ < 0 || !::GetFileInformationByHandle(HandleOf(fd_), &information)) {
        reason_ = fd_ < 0 ? "the file is not open" : LastReason();
        return std::nullopt;
    }
    // The volume and the file's index on it: the same for every name of the file, whatever
    // its letter case, short 8.3 form or hard link.
    return FileIdentity{information.dwVolumeSerialNumber,
                        (std::uint64_t{information.nFileIndexHigh} << 32) |
                            information.nFileIndexLow};
}

std::size_t InputFile::Read(std::uint8_t* data, std::size_t count) {
    if (fd_ < 0) {
        reason_ = "the file is not open";
        return 0;
    }
    std::size_t got = 0;
    while (got < count) {
        DWORD n = 0;
        const auto ask = static_cast<DWORD>(std::min(count - got, kMostPerCall));
        if (!::ReadFile(HandleOf(fd_), data + got, ask, &n, nullptr)) {
            reason_ = LastReason();
            return got;
        }
        if (n == 0) {
            reason_ = "the file is shorter than when it was analysed";
            return got;
        }
        got += n;
    }
    return got;
}

bool InputFile::Seek(std::int64_t offset) {
    LARGE_INTEGER to{};
    to.QuadPart = offset;
    if (fd_ < 0 || !::SetFilePointerEx(HandleOf(fd_), to, nullptr, FILE_BEGIN)) {
        reason_ = fd_ < 0 ? "the file is not open" : LastReason();
        return false;
    }
    return true;
}

void InputFile::Close() {
    if (fd_ >= 0) {
        // Nothing was written to a file opened for reading, so its close cannot lose data.
        static_cast<void>(::_close(fd_));
        fd_ = -1;
    }
}

bool OutputFile::CreateNew(const std::string& name, std::optional<unsigned> /*permissions*/) {
    static_cast<void>(Close());
    // CREATE_NEW fails on any existing name, a link included. Windows has no permission bits:
    // the new file takes the access rules of its folder, as any new file there does.
    const HANDLE handle =
        ::CreateFileW(SystemFileName(name).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason_ = LastReason();
        return false;
    }
    fd_ = Adopt(handle, _O_RDWR | _O_BINARY);
    if (fd_ < 0) {
        reason_ = "too many open files";
        static_cast<void>(::DeleteFileW(SystemFileName(name).c_str()));
        return false;
    }
    return true;
}

bool OutputFile::Write(const std::uint8_t* data, std::size_t count) {
    if (fd_ < 0) {
        reason_ = "the file is not open";
        return false;
    }
    std::size_t done = 0;
    while (done < count) {
        DWORD n = 0;
        const auto ask = static_cast<DWORD>(std::min(count - done, kMostPerCall));
        if (!::WriteFile(HandleOf(fd_), data + done, ask, &n, nullptr) || n == 0) {
            reason_ = n == 0 && ::GetLastError() == ERROR_SUCCESS ? "nothing could be written"
                                                                  : LastReason();
            return false;
        }
        done += n;
    }
    return true;
}

std::optional<std::int64_t> OutputFile::Position() {
    std::int64_t position = 0;
    if (fd_ < 0 || !SetPosition(HandleOf(fd_), 0, FILE_CURRENT, &position)) {
        reason_ = fd_ < 0 ? "the file is not open" : LastReason();
        return std::nullopt;
    }
    return position;
}

bool OutputFile::Truncate(std::int64_t length) {
    if (fd_ < 0 || length < 0) {
        reason_ = fd_ < 0 ? "the file is not open" : "a negative length";
        return false;
    }
    // The end of the file is where the position stands, which is also where writes go on.
    if (!SetPosition(HandleOf(fd_), length, FILE_BEGIN, nullptr) ||
        !::SetEndOfFile(HandleOf(fd_))) {
        reason_ = LastReason();
        return false;
    }
    return true;
}

CopyRangeEnd OutputFile::CopyFrom(InputFile& source, std::int64_t offset, std::int64_t count) {
    return CopyByReading(source, offset, count);
}

bool OutputFile::WriteAt(std::int64_t offset, const std::uint8_t* data, std::size_t count) {
    if (fd_ < 0 || offset < 0) {
        reason_ = fd_ < 0 ? "the file is not open" : "a negative offset";
        return false;
    }
    // A write at an offset moves the position of a synchronous handle, so it is put back.
    const std::optional<std::int64_t> position = Position();
    if (!position) {
        return false;
    }
    std::size_t done = 0;
    while (done < count) {
        const std::int64_t at = offset + static_cast<std::int64_t>(done);
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(at) & 0xFFFFFFFFu);
        where.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(at) >> 32);
        DWORD n = 0;
        const auto ask = static_cast<DWORD>(std::min(count - done, kMostPerCall));
        if (!::WriteFile(HandleOf(fd_), data + done, ask, &n, &where) || n == 0) {
            reason_ = n == 0 && ::GetLastError() == ERROR_SUCCESS ? "nothing could be written"
                                                                  : LastReason();
            static_cast<void>(SetPosition(HandleOf(fd_), *position, FILE_BEGIN, nullptr));
            return false;
        }
        done += n;
    }
    if (!SetPosition(HandleOf(fd_), *position, FILE_BEGIN, nullptr)) {
        reason_ = LastReason();
        return false;
    }
    return true;
}

bool OutputFile::Close() {
    if (fd_ < 0) {
        return true;
    }
    const int result = ::_close(fd_);
    fd_ = -1;
    if (result != 0) {
        reason_ = LastReason();
        return false;
    }
    return true;
}

}  // namespace velmora
