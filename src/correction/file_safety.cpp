// What keeps a write from losing anything: where a name really leads, one writer per target,
// and files that appear under their final name only once they are complete.
#include "correction/file_safety.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "correction/hidden_names.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

// Files to remove when a signal ends the program. A signal handler can reach only what is
// global, and may call only async-signal-safe functions, so the names sit in fixed buffers.
// A write has at most three such files at once (lock, target, report).
struct Removal {
    std::array<char, 4096> name{};
    volatile std::sig_atomic_t used = 0;
};
std::array<Removal, 4> g_removals;

std::optional<std::size_t> RemoveOnSignal(const std::string& name) {
    for (std::size_t i = 0; i < g_removals.size(); ++i) {
        Removal& removal = g_removals[i];
        if (removal.used == 0 && name.size() < removal.name.size()) {
            std::memcpy(removal.name.data(), name.c_str(), name.size() + 1);
            std::atomic_signal_fence(std::memory_order_seq_cst);
            removal.used = 1;
            return i;
        }
    }
    // Too long or too many: the file is still removed on every other way out.
    return std::nullopt;
}

void KeepOnSignal(std::optional<std::size_t>& slot) {
    if (slot) {
        g_removals[*slot].used = 0;
        slot.reset();
    }
}

void RemoveAndDie(int signalNumber) {
    for (Removal& removal : g_removals) {
        if (removal.used != 0) {
            static_cast<void>(::unlink(removal.name.data()));
        }
    }
    // The handler was reset to the default on entry; raised again, the signal ends the program
    // as it would have, with the status a caller expects from it.
    static_cast<void>(std::raise(signalNumber));
}

std::string SystemReason(int error) {
    return std::strerror(error);
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

std::string HiddenBeside(const std::string& path, const std::string& suffix) {
    return HiddenName(FolderOf(path), FileNameOf(path), suffix);
}

}  // namespace

bool SameExistingFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (!fs::exists(fs::path(a), error) || !fs::exists(fs::path(b), error)) {
        return false;
    }
    const bool same = fs::equivalent(fs::path(a), fs::path(b), error);
    if (!error) {
        return same;
    }
    // The system could not compare them; fall back on the resolved names rather than risk
    // writing over the source.
    std::error_code errorA;
    std::error_code errorB;
    const fs::path canonicalA = fs::weakly_canonical(fs::path(a), errorA);
    const fs::path canonicalB = fs::weakly_canonical(fs::path(b), errorB);
    return !errorA && !errorB && canonicalA == canonicalB;
}

TargetPlace LookUpTarget(const std::string& name) {
    TargetPlace place;
    // The links are followed one by one rather than by the system, because a link that leads
    // nowhere yet still says where the new file belongs.
    std::string path = name;
    constexpr int kMostLinks = 40;
    for (int link = 0;; ++link) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0) {
            if (errno == ENOENT) {
                place.kind = TargetPlace::Kind::Missing;
                place.path = path;
            } else {
                place.kind = TargetPlace::Kind::Unreachable;
                place.reason = SystemReason(errno);
            }
            return place;
        }
        if (!S_ISLNK(status.st_mode)) {
            break;
        }
        if (link == kMostLinks) {
            place.kind = TargetPlace::Kind::Unreachable;
            place.reason = SystemReason(ELOOP);
            return place;
        }
        std::error_code error;
        const std::string leadsTo = fs::read_symlink(fs::path(path), error).string();
        if (error) {
            place.kind = TargetPlace::Kind::Unreachable;
            place.reason = error.message();
            return place;
        }
        path = !leadsTo.empty() && leadsTo.front() == '/' ? leadsTo : FolderOf(path) + leadsTo;
    }
    place.path = path;
    // What the name leads to as the system sees it: the same as the walk for ordinary links,
    // and the only true answer for the system's own links such as /dev/fd/3.
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0) {
        place.kind = TargetPlace::Kind::Unreachable;
        place.reason = SystemReason(errno);
        return place;
    }
    if (!S_ISREG(status.st_mode)) {
        place.kind = TargetPlace::Kind::NotRegular;
        return place;
    }
    place.kind = TargetPlace::Kind::Regular;
    place.identity = FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                                  static_cast<std::uint64_t>(status.st_ino)};
    place.permissions = static_cast<unsigned>(status.st_mode & 0777);
    place.owner = static_cast<std::uint32_t>(status.st_uid);
    place.group = static_cast<std::uint32_t>(status.st_gid);
    return place;
}

std::string WriteLock::NameFor(const std::string& path) {
    return HiddenBeside(path, ".velmora-lock");
}

WriteLock::~WriteLock() {
    Release();
}

WriteLock::State WriteLock::Acquire(const std::string& path) {
    Release();
    const std::string name = NameFor(path);
    // A lock file removed by the run that held it may still be open here; then the lock taken
    // is on a file nobody else will find, and the name is opened afresh.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            reason_ = SystemReason(errno);
            return State::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            reason_ = error == EWOULDBLOCK ? "another run is writing it" : SystemReason(error);
            return error == EWOULDBLOCK ? State::Busy : State::Failed;
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::lstat(name.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            fd_ = fd;
            name_ = name;
            removal_ = RemoveOnSignal(name_);
            return State::Held;
        }
        ::close(fd);
    }
    reason_ = "another run is writing it";
    return State::Busy;
}

void WriteLock::Release() {
    if (fd_ >= 0) {
        // Removed while still held, so no other run can lock the old file in between.
        KeepOnSignal(removal_);
        static_cast<void>(::unlink(name_.c_str()));
        ::close(fd_);
        fd_ = -1;
    }
}

ReplacementFile::~ReplacementFile() {
    Discard();
}

bool ReplacementFile::Create(const TargetPlace& place) {
    Discard();
    final_ = place.path;
    const bool replacing = place.kind == TargetPlace::Kind::Regular;
    static std::mt19937 letters{std::random_device{}()};
    constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix = kUnfinishedMark;
        for (int i = 0; i < 6; ++i) {
            suffix += kLetters[letters() % (sizeof kLetters - 1)];
        }
        temporary_ = HiddenBeside(final_, suffix);
        // Listed before the file exists, so that no moment is left in which a signal would
        // leave it behind.
        removal_ = RemoveOnSignal(temporary_);
        if (file_.CreateNew(temporary_, replacing ? std::optional<unsigned>(place.permissions)
                                                  : std::nullopt)) {
            if (replacing) {
                // Kept where the system allows it (a file of another user, written by root);
                // otherwise the new file belongs to whoever runs the program, as a copy would.
                static_cast<void>(::lchown(temporary_.c_str(), place.owner, place.group));
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

bool ReplacementFile::Commit() {
    if (temporary_.empty()) {
        reason_ = "the file is not open";
        return false;
    }
    if (!file_.Close()) {
        reason_ = file_.Reason();
        return false;
    }
    if (::rename(temporary_.c_str(), final_.c_str()) != 0) {
        reason_ = SystemReason(errno);
        return false;
    }
    KeepOnSignal(removal_);
    temporary_.clear();
    return true;
}

void ReplacementFile::Discard() {
    if (!temporary_.empty()) {
        static_cast<void>(file_.Close());
        static_cast<void>(::unlink(temporary_.c_str()));
        KeepOnSignal(removal_);
        temporary_.clear();
    }
}

void RemoveUnfinishedFilesOnSignals() {
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        if (::sigaction(signalNumber, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = RemoveAndDie;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        static_cast<void>(::sigaction(signalNumber, &action, nullptr));
    }
    static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
}

}  // namespace velmora
