// What keeps a write from losing anything: where a name really leads, one writer per target,
// and files that appear under their final name only once they are complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "correction/byte_file.h"

namespace velmora {

// True when both names lead to one and the same existing file, however they are spelt:
// "./", "..", symbolic and hard links, or another letter case on a file system that ignores it.
[[nodiscard]] bool SameExistingFile(const std::string& a, const std::string& b);

// What a name to be written leads to, found without opening it.
struct TargetPlace {
    enum class Kind {
        Missing,      // nothing there yet: a new file will be made
        Regular,      // a regular file, to be replaced
        NotRegular,   // a folder, device, pipe or socket: never written
        Unreachable,  // the system could not tell (reason says why)
    };
    Kind kind = Kind::Missing;
    // Where the file is made: the name itself or, for a symbolic link, where the link leads,
    // so that the link goes on leading to the new file.
    std::string path;
    // Regular only: which file it is, and what a replacement keeps of it.
    FileIdentity identity;
    unsigned permissions = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::string reason;
};

[[nodiscard]] TargetPlace LookUpTarget(const std::string& name);

// One writer per target. The runs meet on a fixed name derived from the target,
// ".<name>.velmora-lock" beside it; the system releases the lock when a run ends in any way,
// and the file itself is removed when the lock is given up.
class WriteLock {
  public:
    enum class State { Held, Busy, Failed };

    WriteLock() = default;
    ~WriteLock();
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

    // `path` is the file to be written (TargetPlace::path). Never waits.
    [[nodiscard]] State Acquire(const std::string& path);
    [[nodiscard]] const std::string& Reason() const { return reason_; }

    [[nodiscard]] static std::string NameFor(const std::string& path);

  private:
    void Release();

    int fd_ = -1;
    std::string name_;
    std::optional<std::size_t> removal_;
    std::string reason_;
};

// A file written under a temporary name beside its final one,
// ".<name>.velmora-unfinished-XXXXXX", and renamed over the final name only when complete, so
// the final name holds either the old file or the whole new one. Whatever has not been
// committed is removed: by the destructor, and on SIGINT, SIGTERM and SIGHUP once
// RemoveUnfinishedFilesOnSignals() is in force.
class ReplacementFile {
  public:
    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // The file replacing `place` (its permissions and, where allowed, its owner are kept).
    [[nodiscard]] bool Create(const TargetPlace& place);
    [[nodiscard]] OutputFile& File() { return file_; }
    // Closes the file and renames it over the final name.
    [[nodiscard]] bool Commit();
    [[nodiscard]] const std::string& Reason() const { return reason_; }
    [[nodiscard]] const std::string& TemporaryName() const { return temporary_; }

  private:
    void Discard();

    OutputFile file_;
    std::string final_;
    std::string temporary_;
    std::optional<std::size_t> removal_;
    std::string reason_;
};

// What a leftover temporary file's name holds, for people and tests to recognise it.
inline constexpr const char* kUnfinishedMark = ".velmora-unfinished-";

// Installs handlers that remove every unfinished file and the lock when SIGINT, SIGTERM or
// SIGHUP ends the program (a signal ignored at start stays ignored), and ignores SIGXFSZ, so
// that a file-size limit fails a write with a message instead of killing the program.
void RemoveUnfinishedFilesOnSignals();

}  // namespace velmora
