// What keeps a write from losing anything: where a name really leads, one writer per target,
// and files that appear under their final names only once both are complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/files/byte_file.h"

namespace velmora {

// What a name to be written leads to. Its folder is opened once, here; every later step
// (the lock, the new file, the checks, the rename, the report) works inside that open folder
// and never looks the name up again, so a link changed during the write cannot lead it
// elsewhere.
struct TargetPlace {
    enum class Kind {
        Missing,      // nothing there yet: a new file will be made
        Regular,      // a regular file, to be replaced
        NotRegular,   // a folder, device, pipe or socket: never written
        Unreachable,  // the system could not tell (reason says why)
    };
    Kind kind = Kind::Missing;
    // The folder the file is made in and its name there: for a symbolic link, where the link
    // leads, so that the link goes on leading to the new file.
    std::shared_ptr<const Folder> folder;
    std::string name;
    // Folder and name together, for messages.
    std::string path;
    // Regular only: which file it is, and what a replacement keeps of it.
    FileIdentity identity;
    unsigned permissions = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::string reason;
};

[[nodiscard]] TargetPlace LookUpTarget(const std::string& name);
// Another name in the same folder as `beside` (the report beside its target).
[[nodiscard]] TargetPlace LookUpBeside(const TargetPlace& beside, const std::string& name);

// Why the system would refuse to replace the file or to make files beside it, told before
// anything is made: an immutable or append-only folder or file (which would let the new
// file be made but never renamed or removed), or a file of another user's that the caller
// may not write. Empty when nothing stands in the way, or where the system cannot tell.
[[nodiscard]] std::string WhyNotReplaceable(const TargetPlace& place);

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

    // Never waits.
    [[nodiscard]] State Acquire(const TargetPlace& place);
    [[nodiscard]] const std::string& Reason() const { return reason_; }

    // The lock's own name in the target's folder.
    [[nodiscard]] static std::string NameFor(const std::string& fileName);

  private:
    void Release();

    int fd_ = -1;
    std::shared_ptr<const Folder> folder_;
    std::string name_;
    std::optional<std::size_t> removal_;
    std::string reason_;
};

// A file written under a temporary name beside its final one,
// ".<name>.velmora-unfinished-XXXXXX", and renamed over the final name only when complete, so
// the final name holds either the old file or the whole new one. The old file is kept aside
// under the temporary name until Settle(), so that Undo() can put it back when a later step
// fails. Whatever has not been committed is removed: by the destructor, and on a signal that
// ends the program once RemoveUnfinishedFilesOnSignals() is in force.
class ReplacementFile {
  public:
    enum class Committed { Done, IsProtected, Failed };

    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // The file replacing `place`; what the replaced file had (permissions, owner, access
    // lists, user attributes) is given to it where the system allows.
    [[nodiscard]] bool Create(const TargetPlace& place);
    [[nodiscard]] OutputFile& File() { return file_; }
    // Closes the file; false when the system reports that data was lost.
    [[nodiscard]] bool Close() {
        if (!file_.Close()) {
            reason_ = file_.Reason();
            return false;
        }
        return true;
    }
    // Puts the closed file under its final name. `protect` is never replaced (the source):
    // it is compared with what stands under the name right before the rename, and again
    // with the file that the rename took the name from. `mayReplace` false leaves any file
    // that has come to stand there meanwhile. `beforeRename` runs between the check and the
    // rename (a seam for tests that change names under the write).
    [[nodiscard]] Committed Commit(const std::optional<FileIdentity>& protect, bool mayReplace,
                                   const std::function<void()>& beforeRename = {});
    // After Commit: gives the name back to the file that had it (or to nobody), and removes
    // the new file. False when the system refused, Reason() saying why.
    [[nodiscard]] bool Undo();
    // After Commit: the file that had the name is removed for good.
    void Settle();
    [[nodiscard]] const std::string& Reason() const { return reason_; }

  private:
    void Discard();
    // After the names were exchanged (POSIX): keeps them, or gives the name back.
    [[nodiscard]] Committed Exchanged(const std::optional<FileIdentity>& protect);

    OutputFile file_;
    std::shared_ptr<const Folder> folder_;
    std::string final_;
    std::string temporary_;
    bool committed_ = false;
    bool earlierKept_ = false;  // the replaced file now stands under the temporary name
    std::optional<std::size_t> removal_;
    std::string reason_;
};

// What a leftover temporary file's name holds, for people and tests to recognise it.
inline constexpr const char* kUnfinishedMark = ".velmora-unfinished-";

// Installs handlers that remove every unfinished file and the lock when a signal ends the
// program (every catchable one whose default is to end it; one ignored at start stays
// ignored), then end it as the signal would have. SIGPIPE caused by the program's own
// writes only fails those writes, so a closed standard output is reported; SIGXFSZ is
// ignored, so that a file-size limit fails a write with a message.
void RemoveUnfinishedFilesOnSignals();

// Held while the names are changed in a run's last step: a signal arriving meanwhile waits
// until the names are settled one way or the other, then ends the program.
class NamesChanging {
  public:
    NamesChanging();
    ~NamesChanging();
    NamesChanging(const NamesChanging&) = delete;
    NamesChanging& operator=(const NamesChanging&) = delete;
};

}  // namespace velmora
