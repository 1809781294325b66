// What keeps a write from losing anything: where a name really leads, one writer per target,
// and files that appear under their final names only once both are complete.
#include "platform/files/file_safety.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/files/hidden_names.h"

namespace velmora {

namespace {

// Files to remove when a signal ends the program. A signal handler can reach only what is
// global, and may call only async-signal-safe functions, so the names sit in fixed buffers,
// each with the descriptor of its folder. A write has at most three such files at once
// (lock, target, report).
struct Removal {
    int folder = -1;
    std::array<char, NAME_MAX + 1> name{};
    volatile std::sig_atomic_t used = 0;
};
std::array<Removal, 4> g_removals;
// While the names are being changed, a signal waits (see NamesChanging).
volatile std::sig_atomic_t g_namesChanging = 0;
volatile std::sig_atomic_t g_deferredSignal = 0;

std::optional<std::size_t> RemoveOnSignal(int folder, const std::string& name) {
    for (std::size_t i = 0; i < g_removals.size(); ++i) {
        Removal& removal = g_removals[i];
        if (removal.used == 0 && name.size() < removal.name.size()) {
            std::memcpy(removal.name.data(), name.c_str(), name.size() + 1);
            removal.folder = folder;
            std::atomic_signal_fence(std::memory_order_seq_cst);
            removal.used = 1;
            return i;
        }
    }
    // Too many: the file is still removed on every other way out.
    return std::nullopt;
}

void KeepOnSignal(std::optional<std::size_t>& slot) {
    if (slot) {
        g_removals[*slot].used = 0;
        slot.reset();
    }
}

void RemoveListedFiles() {
    for (Removal& removal : g_removals) {
        if (removal.used != 0) {
            static_cast<void>(::unlinkat(removal.folder, removal.name.data(), 0));
        }
    }
}

// Ends the program as the signal would have, with the status a caller expects from it.
void DieOf(int signalNumber) {
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    static_cast<void>(::sigaction(signalNumber, &standard, nullptr));
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    // Inside the handler the signal is blocked, and arrives as soon as the handler returns.
    static_cast<void>(std::raise(signalNumber));
    static_cast<void>(::pthread_sigmask(SIG_UNBLOCK, &only, nullptr));
}

void OnSignal(int signalNumber, siginfo_t* info, void* /*context*/) {
    // A write to a pipe that nobody reads any more raises SIGPIPE in the writer itself; that
    // write then fails with EPIPE, and the run reports it. Only a SIGPIPE sent by another
    // process ends the run.
    if (signalNumber == SIGPIPE && info != nullptr && info->si_pid == ::getpid()) {
        return;
    }
    if (g_namesChanging != 0) {
        g_deferredSignal = signalNumber;
        return;
    }
    const int savedErrno = errno;
    RemoveListedFiles();
    DieOf(signalNumber);
    errno = savedErrno;
}

std::string SystemReason(int error) {
    return error == 0 ? "unknown error" : std::strerror(error);
}

// The folder part of a name, with its separator ("" for a bare file name).
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

FileIdentity IdentityOf(const struct stat& status) {
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino)};
}

// Fills in what `status` says of a name in `place`'s folder.
void Describe(TargetPlace& place, const struct stat& status) {
    if (!S_ISREG(status.st_mode)) {
        place.kind = TargetPlace::Kind::NotRegular;
        return;
    }
    place.kind = TargetPlace::Kind::Regular;
    place.identity = IdentityOf(status);
    place.permissions = static_cast<unsigned>(status.st_mode & 07777);
    place.owner = static_cast<std::uint32_t>(status.st_uid);
    place.group = static_cast<std::uint32_t>(status.st_gid);
}

// The inode flags that keep a name from being replaced or removed; empty when none is set
// or the system cannot tell.
std::string FlagsInTheWay(int fd, const char* whose) {
    int flags = 0;
    if (fd < 0 || ::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
        return "";
    }
    if ((flags & FS_IMMUTABLE_FL) != 0) {
        return std::string(whose) + " immutable";
    }
    if ((flags & FS_APPEND_FL) != 0) {
        return std::string(whose) + " append-only";
    }
    return "";
}

// Extended attributes a replacement takes over: the access list and the user's own. Those of
// the security and trusted name spaces belong to the system and its policies.
bool KeptAttribute(std::string_view name) {
    return name.rfind("user.", 0) == 0 || name == "system.posix_acl_access";
}

// Gives the new file the access list and user attributes of the file it replaces. The old
// file is reached through its open descriptor's name in /proc, since it need not be
// readable by the caller; where /proc or the attributes are missing, nothing is copied.
void CopyAttributes(int folder, const std::string& name, const FileIdentity& identity, int to) {
    const int from = ::openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (from < 0) {
        return;
    }
    struct stat status {};
    if (::fstat(from, &status) == 0 && IdentityOf(status) == identity) {
        const std::string path = "/proc/self/fd/" + std::to_string(from);
        const ssize_t size = ::listxattr(path.c_str(), nullptr, 0);
        std::vector<char> names(size > 0 ? static_cast<std::size_t>(size) : 0);
        const ssize_t got = names.empty() ? 0 : ::listxattr(path.c_str(), names.data(), names.size());
        for (std::size_t at = 0; got > 0 && at < static_cast<std::size_t>(got);) {
            const std::string attribute(names.data() + at);
            at += attribute.size() + 1;
            if (!KeptAttribute(attribute)) {
                continue;
            }
            const ssize_t length = ::getxattr(path.c_str(), attribute.c_str(), nullptr, 0);
            std::vector<char> value(length > 0 ? static_cast<std::size_t>(length) : 0);
            if (length < 0 ||
                ::getxattr(path.c_str(), attribute.c_str(), value.data(), value.size()) != length) {
                continue;
            }
            // A file system without attributes (ENOTSUP) or a policy that refuses one keeps
            // the new file as it was made; the write itself does not depend on them.
            static_cast<void>(::fsetxattr(to, attribute.c_str(), value.data(), value.size(), 0));
        }
    }
    ::close(from);
}

int RenameInFolder(int folder, const std::string& from, const std::string& to,
                   unsigned int flags) {
    return ::renameat2(folder, from.c_str(), folder, to.c_str(), flags);
}

// Where the link `place.name` in `folder` leads; nothing when it cannot be read, and then
// `place` says why.
std::optional<std::string> LinkTarget(const Folder& folder, TargetPlace& place) {
    std::array<char, PATH_MAX> leadsTo{};
    const ssize_t length =
        ::readlinkat(folder.Descriptor(), place.name.c_str(), leadsTo.data(), leadsTo.size());
    if (length < 0 || static_cast<std::size_t>(length) >= leadsTo.size()) {
        place.kind = TargetPlace::Kind::Unreachable;
        place.reason = SystemReason(length < 0 ? errno : ENAMETOOLONG);
        return std::nullopt;
    }
    return std::string(leadsTo.data(), static_cast<std::size_t>(length));
}

// The system's own links (/proc/self/fd/1 for a pipe) lead to things that have no name in
// any folder: what the name leads to as the system sees it tells what they are.
void DescribeNameless(TargetPlace& place, const std::string& name) {
    struct stat seen {};
    if (::stat(name.c_str(), &seen) != 0) {
        return;
    }
    if (!S_ISREG(seen.st_mode)) {
        place.kind = TargetPlace::Kind::NotRegular;
    } else {
        place.kind = TargetPlace::Kind::Unreachable;
        place.reason = "it leads to a file that no longer has a name";
    }
}

}  // namespace

TargetPlace LookUpTarget(const std::string& name) {
    TargetPlace place;
    // The links are followed one by one rather than by the system, because a link that leads
    // nowhere yet still says where the new file belongs. Each step opens the folder first: the
    // system follows the links in the folder part, and the last part is read inside it.
    constexpr int kMostLinks = 40;
    std::string path = name;
    struct stat status {};
    for (int link = 0;; ++link) {
        auto folder = std::make_shared<Folder>();
        place.path = path;
        if (!folder->Open(FolderOf(path))) {
            place.kind = TargetPlace::Kind::Unreachable;
            place.reason = folder->Reason();
            return place;
        }
        place.folder = folder;
        place.name = FileNameOf(path);
        if (place.name.empty() || place.name == "." || place.name == "..") {
            place.kind = TargetPlace::Kind::NotRegular;
            return place;
        }
        if (::fstatat(folder->Descriptor(), place.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) !=
            0) {
            if (errno != ENOENT) {
                place.kind = TargetPlace::Kind::Unreachable;
                place.reason = SystemReason(errno);
                return place;
            }
            place.kind = TargetPlace::Kind::Missing;
            break;
        }
        if (!S_ISLNK(status.st_mode)) {
            Describe(place, status);
            break;
        }
        if (link == kMostLinks) {
            place.kind = TargetPlace::Kind::Unreachable;
            place.reason = SystemReason(ELOOP);
            return place;
        }
        const std::optional<std::string> next = LinkTarget(*folder, place);
        if (!next) {
            return place;
        }
        path = !next->empty() && next->front() == '/' ? *next : FolderOf(path) + *next;
    }
    if (place.kind == TargetPlace::Kind::Missing) {
        DescribeNameless(place, name);
    }
    return place;
}

TargetPlace LookUpBeside(const TargetPlace& beside, const std::string& name) {
    TargetPlace place;
    place.folder = beside.folder;
    place.name = name;
    place.path = (beside.folder ? beside.folder->Path() : std::string()) + name;
    struct stat status {};
    if (!beside.folder) {
        place.kind = TargetPlace::Kind::Unreachable;
        place.reason = "no folder";
    } else if (::fstatat(beside.folder->Descriptor(), name.c_str(), &status,
                         AT_SYMLINK_NOFOLLOW) == 0) {
        // A link is not followed: the report goes nowhere but beside its target.
        Describe(place, status);
    } else if (errno == ENOENT) {
        place.kind = TargetPlace::Kind::Missing;
    } else {
        place.kind = TargetPlace::Kind::Unreachable;
        place.reason = SystemReason(errno);
    }
    return place;
}

std::string WhyNotReplaceable(const TargetPlace& place) {
    if (!place.folder) {
        return "";
    }
    const int folder = place.folder->Descriptor();
    std::string why = FlagsInTheWay(folder, "its folder is");
    if (!why.empty() || place.kind != TargetPlace::Kind::Regular) {
        return why;
    }
    const int fd =
        ::openat(folder, place.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        why = FlagsInTheWay(fd, "it is");
        ::close(fd);
    }
    // A folder that lets the caller rename does not make another user's file the caller's:
    // like a copy, the write needs leave to write the file itself.
    if (why.empty() && place.owner != ::geteuid() &&
        ::faccessat(folder, place.name.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES) {
        why = SystemReason(EACCES);
    }
    return why;
}

std::string WriteLock::NameFor(const std::string& fileName) {
    return HiddenName("", fileName, ".velmora-lock");
}

WriteLock::~WriteLock() {
    Release();
}

WriteLock::State WriteLock::Acquire(const TargetPlace& place) {
    Release();
    const int folder = place.folder ? place.folder->Descriptor() : AT_FDCWD;
    const std::string name = NameFor(place.name);
    // A lock file removed by the run that held it may still be open here; then the lock taken
    // is on a file nobody else will find, and the name is opened afresh.
    for (int attempt = 0; attempt < 10; ++attempt) {
        // An existing lock file is only opened: it may be another user's, in a shared folder
        // where the system refuses to create over it (fs.protected_regular). Reading is all
        // that flock needs.
        int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            fd = ::openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          0666);
            if (fd < 0 && errno == EEXIST) {
                continue;
            }
        }
        if (fd < 0) {
            reason_ = SystemReason(errno);
            return State::Failed;
        }
        struct stat held {};
        if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            reason_ = "its lock \"" + name + "\" is not a regular file";
            ::close(fd);
            return State::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            reason_ = error == EWOULDBLOCK ? "another run is writing it" : SystemReason(error);
            return error == EWOULDBLOCK ? State::Busy : State::Failed;
        }
        struct stat named {};
        if (::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            IdentityOf(held) == IdentityOf(named)) {
            fd_ = fd;
            folder_ = place.folder;
            name_ = name;
            removal_ = RemoveOnSignal(folder, name_);
            return State::Held;
        }
        ::close(fd);
    }
    reason_ = "another run is writing it";
    return State::Busy;
}

void WriteLock::Release() {
    if (fd_ >= 0) {
        // Removed while still held, so no other run can lock the old file in between. A lock
        // file of another user's in a shared folder may not be removable; it does no harm.
        KeepOnSignal(removal_);
        static_cast<void>(
            ::unlinkat(folder_ ? folder_->Descriptor() : AT_FDCWD, name_.c_str(), 0));
        ::close(fd_);
        fd_ = -1;
        folder_.reset();
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
    final_ = place.name;
    const int folder = folder_->Descriptor();
    const bool replacing = place.kind == TargetPlace::Kind::Regular;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string suffix =
            UnfinishedSuffix("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
        temporary_ = HiddenName("", final_, suffix);
        // Listed before the file exists, so that no moment is left in which a signal would
        // leave it behind.
        removal_ = RemoveOnSignal(folder, temporary_);
        // The replaced file's bits, less set-user-ID and set-group-ID: a copy made by another
        // user must not run as the first one.
        if (file_.CreateNew(*folder_, temporary_,
                            replacing ? std::optional<unsigned>(place.permissions & 01777)
                                      : std::nullopt)) {
            if (replacing) {
                const int fd = file_.Descriptor();
                // Kept where the system allows it (a run as root); otherwise at least the
                // group, where the caller belongs to it. Else the new file is the caller's.
                if (::fchown(fd, place.owner, place.group) != 0 &&
                    ::fchown(fd, static_cast<uid_t>(-1), place.group) != 0) {
                    // Neither is allowed: the new file stays the caller's, as a copy would.
                }
                CopyAttributes(folder, final_, place.identity, fd);
            }
            return true;
        }
        KeepOnSignal(removal_);
        if (errno != EEXIST) {
            break;
        }
    }
    reason_ = file_.Reason();
    temporary_.clear();
    return false;
}

// The file that had the name now has the temporary one: exactly the file that was replaced,
// whatever the name led to a moment ago. The source, or something that is no file, gets its
// name back.
ReplacementFile::Committed ReplacementFile::Exchanged(const std::optional<FileIdentity>& protect) {
    committed_ = true;
    earlierKept_ = true;
    struct stat status {};
    const bool lookedAt =
        ::fstatat(folder_->Descriptor(), temporary_.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    const bool isProtected = lookedAt && protect && IdentityOf(status) == *protect;
    if (lookedAt && !isProtected && S_ISREG(status.st_mode)) {
        return Committed::Done;
    }
    reason_ = isProtected ? "it is the source file" : "it is not a regular file";
    if (!Undo()) {
        return Committed::Failed;
    }
    return isProtected ? Committed::IsProtected : Committed::Failed;
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
    const int folder = folder_->Descriptor();
    struct stat status {};
    if (protect && ::fstatat(folder, final_.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        IdentityOf(status) == *protect) {
        reason_ = "it is the source file";
        return Committed::IsProtected;
    }
    if (beforeRename) {
        beforeRename();
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (mayReplace && RenameInFolder(folder, temporary_, final_, RENAME_EXCHANGE) == 0) {
            return Exchanged(protect);
        }
        if (mayReplace && errno == EINVAL) {
            // A file system that cannot exchange two names: the old file goes at once.
            if (::renameat(folder, temporary_.c_str(), folder, final_.c_str()) != 0) {
                reason_ = SystemReason(errno);
                return Committed::Failed;
            }
            committed_ = true;
            KeepOnSignal(removal_);
            return Committed::Done;
        }
        if (mayReplace && errno != ENOENT) {
            reason_ = SystemReason(errno);
            return Committed::Failed;
        }
        // Nothing stands under the name.
        if (RenameInFolder(folder, temporary_, final_, RENAME_NOREPLACE) == 0) {
            committed_ = true;
            KeepOnSignal(removal_);
            return Committed::Done;
        }
        if (errno != EEXIST || !mayReplace) {
            reason_ = SystemReason(errno);
            return Committed::Failed;
        }
        // A file came to stand there meanwhile: it is exchanged and looked at like any other.
    }
    reason_ = "the name changed during the write";
    return Committed::Failed;
}

bool ReplacementFile::Undo() {
    if (!committed_) {
        return true;
    }
    const int folder = folder_->Descriptor();
    if (earlierKept_) {
        if (RenameInFolder(folder, temporary_, final_, RENAME_EXCHANGE) != 0) {
            reason_ = SystemReason(errno);
            return false;
        }
    } else {
        if (RenameInFolder(folder, final_, temporary_, RENAME_NOREPLACE) != 0) {
            reason_ = errno == EINVAL ? "the file system cannot put the earlier file back"
                                      : SystemReason(errno);
            return false;
        }
        removal_ = RemoveOnSignal(folder, temporary_);
    }
    committed_ = false;
    earlierKept_ = false;
    Discard();
    return true;
}

void ReplacementFile::Settle() {
    if (committed_ && earlierKept_) {
        static_cast<void>(::unlinkat(folder_->Descriptor(), temporary_.c_str(), 0));
    }
    KeepOnSignal(removal_);
    committed_ = false;
    earlierKept_ = false;
    temporary_.clear();
}

void ReplacementFile::Discard() {
    if (committed_) {
        // A commit that nobody undid stands.
        Settle();
        return;
    }
    if (!temporary_.empty()) {
        static_cast<void>(file_.Close());
        static_cast<void>(::unlinkat(folder_->Descriptor(), temporary_.c_str(), 0));
        KeepOnSignal(removal_);
        temporary_.clear();
    }
}

NamesChanging::NamesChanging() {
    g_namesChanging = 1;
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

NamesChanging::~NamesChanging() {
    g_namesChanging = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (const int signalNumber = g_deferredSignal; signalNumber != 0) {
        RemoveListedFiles();
        DieOf(signalNumber);
    }
}

void RemoveUnfinishedFilesOnSignals() {
    std::vector<int> signals = {SIGINT,  SIGTERM,   SIGHUP,  SIGQUIT, SIGUSR1,
                                SIGUSR2, SIGALRM,   SIGVTALRM, SIGPROF, SIGXCPU,
                                SIGPWR,  SIGIO,     SIGSTKFLT, SIGPIPE};
    for (int realTime = SIGRTMIN; realTime <= SIGRTMAX; ++realTime) {
        signals.push_back(realTime);
    }
    for (const int signalNumber : signals) {
        struct sigaction previous {};
        if (::sigaction(signalNumber, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_sigaction = OnSignal;
        sigemptyset(&action.sa_mask);
        // Interrupted system calls go on, so a signal that only fails a write (SIGPIPE) is not
        // mistaken for another failure.
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        static_cast<void>(::sigaction(signalNumber, &action, nullptr));
    }
    static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
}

}  // namespace velmora
