// What keeps a write from losing anything, on Windows: which file a name is, one writer per
// target, and files that appear under their final name only once they are complete.
#include "platform/files/file_safety.h"

#include <windows.h>
#include <io.h>

#include <array>
#include <atomic>
#include <cstring>

#include "common/system_text_win32.h"
#include "platform/files/hidden_names.h"

namespace velmora {

namespace {

// Files to remove when Ctrl+C, Ctrl+Break or closing the console ends the program. The
// handler runs on a thread of its own while the write goes on, so the names are kept in
// fixed wide buffers that it reads without allocating.
struct Removal {
    std::array<wchar_t, 32768> name{};
    std::atomic<int> used{0};
};
std::array<Removal, 4> g_removals;

std::optional<std::size_t> RemoveOnSignal(const std::wstring& name) {
    for (std::size_t i = 0; i < g_removals.size(); ++i) {
        Removal& removal = g_removals[i];
        if (removal.used.load() == 0 && name.size() < removal.name.size()) {
            std::memcpy(removal.name.data(), name.c_str(), (name.size() + 1) * sizeof(wchar_t));
            removal.used.store(1);
            return i;
        }
    }
    return std::nullopt;
}

void KeepOnSignal(std::optional<std::size_t>& slot) {
    if (slot) {
        g_removals[*slot].used.store(0);
        slot.reset();
    }
}

BOOL WINAPI RemoveOnConsoleEvent(DWORD /*event*/) {
    for (Removal& removal : g_removals) {
        if (removal.used.load() != 0) {
            static_cast<void>(::DeleteFileW(removal.name.data()));
        }
    }
    // Not handled: the system goes on to end the program as it would have.
    return FALSE;
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// The folder part of a name, with its separator ("" for a bare file name); "C:" counts as a
// folder, since "C:name" is a name in drive C's current folder.
std::string FolderOf(const std::string& path) {
    std::size_t end = path.size();
    while (end > 0 && !IsSeparator(path[end - 1]) && path[end - 1] != ':') {
        --end;
    }
    return path.substr(0, end);
}

std::string FileNameOf(const std::string& path) {
    return path.substr(FolderOf(path).size());
}

std::string HiddenBeside(const std::string& path, const std::string& suffix) {
    return HiddenName(FolderOf(path), FileNameOf(path), suffix);
}

// An open handle on whatever the name leads to (folders too), without reading it and
// without keeping anyone else from reading, writing or renaming it.
HANDLE OpenToLookAt(const std::string& name) {
    return ::CreateFileW(SystemFileName(name).c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

struct Looked {
    bool opened = false;
    DWORD error = ERROR_SUCCESS;
    bool regular = false;
    FileIdentity identity;
};

Looked LookAt(const std::string& name) {
    Looked looked;
    const HANDLE handle = OpenToLookAt(name);
    if (handle == INVALID_HANDLE_VALUE) {
        looked.error = ::GetLastError();
        return looked;
    }
    looked.opened = true;
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileType(handle) == FILE_TYPE_DISK &&
        ::GetFileInformationByHandle(handle, &information)) {
        looked.regular = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        looked.identity = FileIdentity{information.dwVolumeSerialNumber,
                                       (std::uint64_t{information.nFileIndexHigh} << 32) |
                                           information.nFileIndexLow};
    } else if (::GetFileType(handle) == FILE_TYPE_DISK) {
        looked.opened = false;
        looked.error = ::GetLastError();
    }
    ::CloseHandle(handle);
    return looked;
}

}  // namespace

TargetPlace LookUpTarget(const std::string& name) {
    TargetPlace place;
    // The name itself is replaced: a symbolic link there gives way to the new file, as
    // Windows programs that save through a temporary file do.
    place.path = name;
    place.name = FileNameOf(name);
    auto folder = std::make_shared<Folder>();
    if (!folder->Open(FolderOf(name))) {
        place.kind = TargetPlace::Kind::Unreachable;
        place.reason = folder->Reason();
        return place;
    }
    place.folder = folder;
    const Looked looked = LookAt(name);
    if (!looked.opened) {
        if (IsMissing(looked.error)) {
            place.kind = TargetPlace::Kind::Missing;
        } else {
            place.kind = TargetPlace::Kind::Unreachable;
            place.reason = SystemErrorText(looked.error);
        }
        return place;
    }
    if (!looked.regular || place.name.empty()) {
        place.kind = TargetPlace::Kind::NotRegular;
        return place;
    }
    place.kind = TargetPlace::Kind::Regular;
    place.identity = looked.identity;
    return place;
}

TargetPlace LookUpBeside(const TargetPlace& beside, const std::string& name) {
    TargetPlace place = LookUpTarget((beside.folder ? beside.folder->Path() : std::string()) + name);
    if (beside.folder) {
        place.folder = beside.folder;
    }
    return place;
}

std::string WhyNotReplaceable(const TargetPlace& /*place*/) {
    // A read-only file or one that another program holds open refuses the rename itself,
    // which then leaves the old file as it was.
    return "";
}

std::string WriteLock::NameFor(const std::string& fileName) {
    return HiddenName("", fileName, ".velmora-lock");
}

WriteLock::~WriteLock() {
    Release();
}

WriteLock::State WriteLock::Acquire(const TargetPlace& place) {
    Release();
    const std::string name =
        (place.folder ? place.folder->Path() : std::string()) + NameFor(place.name);
    const std::wstring wide = SystemFileName(name);
    // Opened without sharing, so a second run cannot open it at all; the system deletes it
    // when the handle closes, however the run ends, so no lock file is ever left behind.
    for (int attempt = 0; attempt < 20; ++attempt) {
        const HANDLE handle = ::CreateFileW(
            wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
            FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            fd_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), 0);
            if (fd_ < 0) {
                ::CloseHandle(handle);
                reason_ = "too many open files";
                return State::Failed;
            }
            name_ = name;
            return State::Held;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_SHARING_VIOLATION) {
            reason_ = "another run is writing it";
            return State::Busy;
        }
        // A lock file that its run has just given up is refused to everyone until the system
        // has deleted it, with "Access is denied"; that passes within moments.
        if (error != ERROR_ACCESS_DENIED) {
            reason_ = SystemErrorText(error);
            return State::Failed;
        }
        reason_ = SystemErrorText(error);
        ::Sleep(10);
    }
    return State::Failed;
}

void WriteLock::Release() {
    if (fd_ >= 0) {
        static_cast<void>(::_close(fd_));
        fd_ = -1;
        removal_.reset();
    }
}

ReplacementFile::~ReplacementFile() {
    Discard();
}

bool ReplacementFile::Create(const TargetPlace& place) {
    Discard();
    if (!place.folder) {
        reason_ = "no folder";
        return false;
    }
    folder_ = place.folder;
    final_ = place.path;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string suffix = UnfinishedSuffix("abcdefghijklmnopqrstuvwxyz0123456789");
        temporary_ = HiddenBeside(final_, suffix);
        removal_ = RemoveOnSignal(SystemFileName(temporary_));
        if (file_.CreateNew(temporary_)) {
            return true;
        }
        KeepOnSignal(removal_);
        // Only a name already taken is worth another try.
        if (::GetFileAttributesW(SystemFileName(temporary_).c_str()) == INVALID_FILE_ATTRIBUTES) {
            break;
        }
    }
    reason_ = file_.Reason();
    temporary_.clear();
    return false;
}

ReplacementFile::Committed ReplacementFile::Commit(const std::optional<FileIdentity>& protect,
                                                   bool mayReplace,
                                                   const std::function<void()>& beforeRename) {
    if (temporary_.empty() || committed_) {
        reason_ = "the file is not open";
        return Committed::Failed;
    }
    if (!Close()) {
        return Committed::Failed;
    }
    const Looked looked = LookAt(final_);
    if (protect && looked.opened && looked.identity == *protect) {
        reason_ = "it is the source file";
        return Committed::IsProtected;
    }
    if (beforeRename) {
        beforeRename();
    }
    // Replaces the old file in one step; a read-only or open-elsewhere file refuses it, and
    // the old file then stands unchanged. The source is held open without leave to rename
    // it, so it cannot be replaced this way whatever its name has become.
    if (!::MoveFileExW(SystemFileName(temporary_).c_str(), SystemFileName(final_).c_str(),
                       mayReplace ? MOVEFILE_REPLACE_EXISTING : 0)) {
        reason_ = SystemErrorText(::GetLastError());
        return Committed::Failed;
    }
    KeepOnSignal(removal_);
    temporary_.clear();
    committed_ = true;
    return Committed::Done;
}

bool ReplacementFile::Undo() {
    if (!committed_) {
        return true;
    }
    reason_ = "Windows replaced the earlier file in one step and keeps no copy of it";
    return false;
}

void ReplacementFile::Settle() {
    committed_ = false;
    earlierKept_ = false;
}

void ReplacementFile::Discard() {
    committed_ = false;
    if (!temporary_.empty()) {
        static_cast<void>(file_.Close());
        static_cast<void>(::DeleteFileW(SystemFileName(temporary_).c_str()));
        KeepOnSignal(removal_);
        temporary_.clear();
    }
}

// The console's events are handled on a thread of their own, which only removes files that
// have no final name yet; nothing waits for the names to settle.
NamesChanging::NamesChanging() = default;
NamesChanging::~NamesChanging() = default;

void RemoveUnfinishedFilesOnSignals() {
    static_cast<void>(::SetConsoleCtrlHandler(RemoveOnConsoleEvent, TRUE));
}

}  // namespace velmora
