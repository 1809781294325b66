// The target writer never destroys the source, never reports a failed write as complete.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/number_text.h"
#include "correction/ac3_test_stream.h"
#include "correction/recording_observer.h"
#include "correction/target_writer.h"
#include "platform/files/file_safety.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::Ac3Frames;
using test::Ac3Info;
using test::Bytes;
using test::kFrame;
using test::RecordingObserver;

const std::string kSourceInfo = "Source file information:\r\n\r\n";

WriteResult Write(const std::string& source, const std::string& target, RecordingObserver& observer,
                  const StreamInfo& info = Ac3Info(), const std::string& startText = "-100",
                  const std::string& endText = "64") {
    return WriteTarget(WriteRequest{source, target, FileType::Ac3, ReadWholeMilliseconds(startText), ReadWholeMilliseconds(endText)}, info,
                       observer);
}

// Nothing was opened: no pointer change, no status, no progress, no target information.
void ExpectRefusedBeforeOpening(const RecordingObserver& observer) {
    for (const std::string& call : observer.calls) {
        EXPECT_TRUE(call == "events" || call.rfind("info:", 0) == 0) << call;
    }
    EXPECT_EQ(observer.InfoText().find("Target file information"), std::string::npos);
}

// The target is the source file itself, however it is named.
TEST(TargetWriterFaults, RefusesEverySpellingOfTheSource) {
    test::ScratchDir dir;
    const Bytes source = Ac3Frames(20);
    const std::string sourceName = dir.File("movie.ac3");
    test::WriteFile(sourceName, source);
    fs::create_directory(dir.Path() / "sub");
    fs::create_symlink(sourceName, dir.Path() / "link.ac3");
    fs::create_hard_link(sourceName, dir.Path() / "hard.ac3");

    const std::vector<std::string> spellings = {
        sourceName,
        (dir.Path() / "." / "movie.ac3").string(),
        (dir.Path() / "sub" / ".." / "movie.ac3").string(),
        dir.File("link.ac3"),
        dir.File("hard.ac3"),
    };
    for (const std::string& target : spellings) {
        RecordingObserver observer{kSourceInfo};
        const WriteResult result = Write(sourceName, target, observer);
        EXPECT_EQ(result.outcome, WriteOutcome::TargetIsSource) << target;
        EXPECT_NE(result.message.find("is the source file"), std::string::npos) << result.message;
        ExpectRefusedBeforeOpening(observer);
        EXPECT_EQ(test::ReadFile(sourceName), source) << target;
    }
    // Nor was a report written over anything.
    EXPECT_FALSE(fs::exists(dir.File("movie.txt")));
    EXPECT_FALSE(fs::exists(dir.File("link.txt")));

    // The source may also be reached through a link: the link is not the target's concern.
    RecordingObserver observer{kSourceInfo};
    const WriteResult result = Write(dir.File("link.ac3"), sourceName, observer);
    EXPECT_EQ(result.outcome, WriteOutcome::TargetIsSource);
    EXPECT_EQ(test::ReadFile(sourceName), source);
}

// Names changed between the last look and the rename: a flipped link no longer matters, and
// the source put under the final name is caught on the file the rename took the name from.
TEST(TargetWriterFaults, NamesChangedBeforeTheRenameNeverReachTheSource) {
    test::ScratchDir dir;
    const Bytes source = Ac3Frames(6);
    test::WriteFile(dir.File("s.ac3"), source);
    InputFile open;
    ASSERT_TRUE(open.Open(dir.File("s.ac3")));
    const std::optional<FileIdentity> identity = open.Identity();
    ASSERT_TRUE(identity);
    const struct {
        const char* what;
        std::function<void()> change;
        ReplacementFile::Committed committed;
    } rows[] = {
        {"the link flipped to the source",
         [&] {
             fs::remove(dir.Path() / "l.ac3");
             fs::create_symlink("s.ac3", dir.Path() / "l.ac3");
         },
         ReplacementFile::Committed::Done},
        {"the source linked under the final name",
         [&] {
             fs::remove(dir.Path() / "v.ac3");
             fs::create_hard_link(dir.File("s.ac3"), dir.Path() / "v.ac3");
         },
         ReplacementFile::Committed::IsProtected},
    };
    for (const auto& row : rows) {
        fs::remove(dir.Path() / "l.ac3");
        fs::remove(dir.Path() / "v.ac3");
        test::WriteTextFile(dir.File("v.ac3"), "earlier");
        fs::create_symlink("v.ac3", dir.Path() / "l.ac3");
        ReplacementFile file;
        ASSERT_TRUE(file.Create(LookUpTarget(dir.File("l.ac3")))) << row.what;
        ASSERT_TRUE(file.File().Write("new"));
        EXPECT_EQ(file.Commit(*identity, true, row.change), row.committed) << row.what;
        file.Settle();
        EXPECT_EQ(test::ReadFile(dir.File("s.ac3")), source) << row.what;
        if (row.committed == ReplacementFile::Committed::Done) {
            EXPECT_EQ(test::ReadTextFile(dir.File("v.ac3")), "new") << row.what;
        }
        // Nothing is left but the three names.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3)
            << row.what;
    }
}

// Two runs meet on one target as busy; two long names that begin alike do not meet.
TEST(TargetWriterFaults, LocksMeetOnTheSameTargetOnly) {
    test::ScratchDir dir;
    test::WriteFile(dir.File("s.ac3"), Ac3Frames(6));
    const std::string common(220, 'n');
    const struct {
        std::string held;
        std::string written;
        WriteOutcome outcome;
    } rows[] = {
        {dir.File("t.ac3"), dir.File("t.ac3"), WriteOutcome::TargetBusy},
        {dir.File(common + "1.ac3"), dir.File(common + "2.ac3"), WriteOutcome::Complete},
    };
    for (const auto& row : rows) {
        WriteLock other;
        ASSERT_EQ(other.Acquire(LookUpTarget(row.held)), WriteLock::State::Held);
        RecordingObserver observer{kSourceInfo};
        EXPECT_EQ(Write(dir.File("s.ac3"), row.written, observer).outcome, row.outcome)
            << row.written.size();
    }
}

// A report named like the target or the source goes elsewhere, and says so.
TEST(TargetWriterFaults, ReportNeverReplacesTheTarget) {
    test::ScratchDir dir;
    const Bytes source = Ac3Frames(6);
    test::WriteFile(dir.File("movie.ac3"), source);
    RecordingObserver observer{kSourceInfo};
    const WriteResult result =
        Write(dir.File("movie.ac3"), dir.File("movie.txt"), observer, Ac3Info(), "", "");
    EXPECT_EQ(result.outcome, WriteOutcome::Complete);
    EXPECT_TRUE(result.reportRenamed);
    EXPECT_EQ(result.reportName, dir.File("movie.txt.txt"));
    EXPECT_NE(result.message.find(dir.File("movie.txt.txt")), std::string::npos);
    EXPECT_EQ(test::ReadFile(dir.File("movie.txt")), source);
    EXPECT_EQ(test::ReadTextFile(dir.File("movie.txt.txt")), observer.InfoText());
}

TEST(TargetWriterFaults, ReportNeverReplacesTheSource) {
    test::ScratchDir dir;
    const Bytes source = Ac3Frames(6);
    test::WriteFile(dir.File("x.txt"), source);
    RecordingObserver observer{kSourceInfo};
    const WriteResult result =
        Write(dir.File("x.txt"), dir.File("x.ac3"), observer, Ac3Info(), "", "");
    EXPECT_EQ(result.outcome, WriteOutcome::Complete);
    EXPECT_TRUE(result.reportRenamed);
    EXPECT_EQ(result.reportName, dir.File("x.ac3.txt"));
    EXPECT_EQ(test::ReadFile(dir.File("x.txt")), source);
    EXPECT_EQ(test::ReadFile(dir.File("x.ac3")), source);
    EXPECT_EQ(test::ReadTextFile(dir.File("x.ac3.txt")), observer.InfoText());
}

TEST(TargetWriterFaults, ReportGivesUpWhenBothNamesAreTaken) {
    test::ScratchDir dir;
    const Bytes source = Ac3Frames(6);
    // Target movie.txt: the usual report name is the target, the other one is the source.
    test::WriteFile(dir.File("movie.txt.txt"), source);
    RecordingObserver observer{kSourceInfo};
    const WriteResult result =
        Write(dir.File("movie.txt.txt"), dir.File("movie.txt"), observer, Ac3Info(), "", "");
    // Decided before anything is made: no target without its report.
    EXPECT_EQ(result.outcome, WriteOutcome::ReportFailed);
    EXPECT_NE(result.message.find("Nothing was written."), std::string::npos);
    EXPECT_TRUE(result.reportName.empty());
    ExpectRefusedBeforeOpening(observer);
    EXPECT_EQ(test::ReadFile(dir.File("movie.txt.txt")), source);
    EXPECT_FALSE(fs::exists(dir.File("movie.txt")));
}

// The report never replaces a file it did not write: a file of the user's, a folder, a pipe
// (which would block) or a device under the report's name sends it to the other name.
TEST(TargetWriterFaults, ReportGoesElsewhereRatherThanReplaceAFileOfTheUsers) {
    const struct {
        const char* what;
        void (*make)(const fs::path&);
    } rows[] = {
        {"a file of the user's", [](const fs::path& p) { test::WriteTextFile(p, "my notes"); }},
        {"a folder", [](const fs::path& p) { fs::create_directory(p); }},
        {"a pipe", [](const fs::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }},
        {"a link to a device", [](const fs::path& p) { fs::create_symlink("/dev/null", p); }},
    };
    for (const auto& row : rows) {
        test::ScratchDir dir;
        const Bytes source = Ac3Frames(6);
        test::WriteFile(dir.File("s.ac3"), source);
        row.make(dir.Path() / "t.txt");
        const auto before = fs::symlink_status(dir.Path() / "t.txt").type();
        const std::string mine = fs::is_regular_file(dir.Path() / "t.txt")
                                     ? test::ReadTextFile(dir.File("t.txt"))
                                     : std::string();
        RecordingObserver observer{kSourceInfo};
        const WriteResult result = Write(dir.File("s.ac3"), dir.File("t.ac3"), observer);
        EXPECT_EQ(result.outcome, WriteOutcome::Complete) << row.what << ": " << result.message;
        EXPECT_TRUE(result.reportRenamed) << row.what;
        EXPECT_EQ(result.reportName, dir.File("t.ac3.txt")) << row.what;
        EXPECT_NE(result.message.find(dir.File("t.ac3.txt")), std::string::npos) << row.what;
        EXPECT_EQ(test::ReadTextFile(dir.File("t.ac3.txt")), observer.InfoText()) << row.what;
        EXPECT_EQ(fs::symlink_status(dir.Path() / "t.txt").type(), before) << row.what;
        if (!mine.empty()) {
            EXPECT_EQ(test::ReadTextFile(dir.File("t.txt")), mine);
        }
    }
}

TEST(TargetWriterFaults, ReportThatCannotBeSavedIsAFailure) {
    test::ScratchDir dir;
    const Bytes source = Ac3Frames(6);
    test::WriteFile(dir.File("s.ac3"), source);
    // Both report names are taken by folders.
    fs::create_directory(dir.Path() / "t.txt");
    fs::create_directory(dir.Path() / "t.ac3.txt");
    RecordingObserver observer{kSourceInfo};
    const WriteResult result = Write(dir.File("s.ac3"), dir.File("t.ac3"), observer);
    EXPECT_EQ(result.outcome, WriteOutcome::ReportFailed);
    EXPECT_NE(result.message.find(dir.File("t.txt")), std::string::npos);
    EXPECT_NE(result.message.find("Nothing was written."), std::string::npos) << result.message;
    EXPECT_TRUE(fs::is_directory(dir.Path() / "t.txt"));
    EXPECT_TRUE(fs::is_empty(dir.Path() / "t.ac3.txt"));
    EXPECT_FALSE(fs::exists(dir.File("t.ac3")));
}

// No usable frame length reaches the writer through a batch run.
TEST(TargetWriterFaults, RefusesAFrameLengthOfZeroOrLess) {
    for (const std::int32_t frameLength : {0, -1, -1792}) {
        test::ScratchDir dir;
        test::WriteFile(dir.File("s.ac3"), Ac3Frames(3));
        StreamInfo info = Ac3Info();
        info.FrameLength = frameLength;
        RecordingObserver observer{kSourceInfo};
        const WriteResult result = Write(dir.File("s.ac3"), dir.File("t.ac3"), observer, info);
        EXPECT_EQ(result.outcome, WriteOutcome::NoUsableHeader) << frameLength;
        EXPECT_EQ(result.message,
                  "Source file \"" + dir.File("s.ac3") + "\" has no usable frame header.");
        EXPECT_FALSE(fs::exists(dir.File("t.ac3")));
        EXPECT_FALSE(fs::exists(dir.File("t.txt")));
        ExpectRefusedBeforeOpening(observer);
    }
}

// A mistyped positive delay must not fill the disk.
TEST(TargetWriterFaults, RefusesAbsurdAmountsToAdd) {
    struct Row {
        const char* start;
        const char* end;
        const char* told;
    };
    const Row rows[] = {
        // 1e8 ms at 31.25 frames per second: 3125000 frames of 1792 bytes.
        {"100000000", "", "would add 3125000 frames (5600000000 bytes)"},
        {"150000000", "99999999999", "would add 71796364 frames (128659084288 bytes)"},
        {"", "9000000", "would add 281250 frames (504000000 bytes)"},
    };
    for (const Row& row : rows) {
        test::ScratchDir dir;
        const Bytes source = Ac3Frames(3);
        test::WriteFile(dir.File("s.ac3"), source);
        RecordingObserver observer{kSourceInfo};
        const WriteResult result =
            Write(dir.File("s.ac3"), dir.File("t.ac3"), observer, Ac3Info(), row.start, row.end);
        EXPECT_EQ(result.outcome, WriteOutcome::TooMuchToAdd) << row.start;
        EXPECT_NE(result.message.find(row.told), std::string::npos) << result.message;
        EXPECT_NE(result.message.find("Nothing was written."), std::string::npos);
        EXPECT_FALSE(fs::exists(dir.File("t.ac3")));
        ExpectRefusedBeforeOpening(observer);
    }

    // A rate from a broken header that saturates the count is refused the same way.
    test::ScratchDir dir;
    test::WriteFile(dir.File("s.ac3"), Ac3Frames(3));
    StreamInfo info = Ac3Info();
    info.FramesPerSecond = 3.0e38f;
    RecordingObserver observer{kSourceInfo};
    const WriteResult result =
        Write(dir.File("s.ac3"), dir.File("t.ac3"), observer, info, "1", "1");
    EXPECT_EQ(result.outcome, WriteOutcome::TooMuchToAdd);
    EXPECT_FALSE(fs::exists(dir.File("t.ac3")));
}

// What every failed write leaves: no report, no target information, default pointer.
void ExpectFailedWrite(const WriteResult& result, WriteOutcome outcome,
                       const RecordingObserver& observer, const std::string& named,
                       const std::string& reason) {
    EXPECT_EQ(result.outcome, outcome) << result.message;
    EXPECT_NE(result.message.find(named), std::string::npos) << result.message;
    EXPECT_NE(result.message.find(reason), std::string::npos) << result.message;
    EXPECT_TRUE(result.reportName.empty());
    EXPECT_EQ(observer.InfoText().find("Target file information"), std::string::npos);
    EXPECT_FALSE(observer.busyPointer);
}

// The target cannot be created, or is no regular file and is never opened: a pipe would
// block, a device or a folder is no target. Nothing appears beside any of them.
TEST(TargetWriterFaults, TargetThatCannotBeCreated) {
    test::ScratchDir dir;
    const Bytes source = Ac3Frames(5);
    test::WriteFile(dir.File("s.ac3"), source);
    test::WriteFile(dir.File("plain"), Bytes(3, 1));
    fs::create_directory(dir.Path() / "folder.ac3");
    ASSERT_EQ(mkfifo(dir.File("pipe.ac3").c_str(), 0644), 0);
    fs::create_symlink("/dev/null", dir.Path() / "null.ac3");
    const struct {
        std::string target;
        const char* reason;
    } rows[] = {
        {dir.File("missing/t.ac3"), "No such file or directory"},
        {dir.File("plain/t.ac3"), "Not a directory"},
        {dir.File("folder.ac3"), "is not a regular file"},
        {dir.File("pipe.ac3"), "is not a regular file"},
        {dir.File("null.ac3"), "is not a regular file"},
        {"/dev/full", "is not a regular file"},
        {"/dev/null", "is not a regular file"},
    };
    for (const auto& row : rows) {
        RecordingObserver observer{kSourceInfo};
        const WriteResult result = Write(dir.File("s.ac3"), row.target, observer);
        ExpectFailedWrite(result, WriteOutcome::WriteFailed, observer, row.target, row.reason);
        EXPECT_EQ(test::ReadFile(dir.File("s.ac3")), source);
    }
    EXPECT_TRUE(fs::is_directory(dir.Path() / "folder.ac3"));
    EXPECT_TRUE(fs::is_fifo(dir.Path() / "pipe.ac3"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_FALSE(fs::exists("/dev/null.txt"));
    EXPECT_FALSE(fs::exists("/dev/full.txt"));
    EXPECT_EQ(test::ReadFile(dir.File("plain")), Bytes(3, 1));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 5);
}

TEST(TargetWriterFaults, SourceThatCannotBeRead) {
    test::ScratchDir dir;
    fs::create_directory(dir.Path() / "folder.ac3");
    ASSERT_EQ(mkfifo(dir.File("pipe.ac3").c_str(), 0644), 0);
    const struct {
        std::string source;
        const char* reason;
    } rows[] = {
        {dir.File("gone.ac3"), "No such file or directory"},
        {dir.File("folder.ac3"), "not a regular file"},
        {dir.File("pipe.ac3"), "not a regular file"},
        {"/dev/zero", "not a regular file"},
    };
    for (const auto& row : rows) {
        RecordingObserver observer{kSourceInfo};
        StreamInfo info = Ac3Info();
        info.FrameLength = 0;  // as the analysis leaves it for all of them
        const WriteResult result = Write(row.source, dir.File("t.ac3"), observer, info);
        ExpectFailedWrite(result, WriteOutcome::ReadFailed, observer, row.source, row.reason);
        EXPECT_FALSE(fs::exists(dir.File("t.ac3")));
    }
}

// Every file below a folder with its bytes, to show that a refused run changed nothing.
std::map<std::string, Bytes> Contents(const fs::path& folder) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        files[entry.path().string()] = entry.is_regular_file() ? test::ReadFile(entry) : Bytes{};
    }
    return files;
}

// An inode flag set for the guard's lifetime, so that a failing test still leaves a scratch
// folder that can be removed.
class InodeFlag {
  public:
    InodeFlag(const std::string& path, int flag) : path_(path), flag_(flag) { ok_ = Change(true); }
    ~InodeFlag() {
        if (ok_) {
            static_cast<void>(Change(false));
        }
    }
    InodeFlag(const InodeFlag&) = delete;
    InodeFlag& operator=(const InodeFlag&) = delete;
    [[nodiscard]] bool Ok() const { return ok_; }

  private:
    bool Change(bool on) const {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        int flags = 0;
        bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | flag_ : flags & ~flag_;
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        return done;
    }
    std::string path_;
    int flag_;
    bool ok_ = false;
};

// Names the system will not let go of are refused before anything is made beside them.
TEST(TargetWriterFaults, ImmutableOrAppendOnlyNamesAreRefusedAtOnce) {
    const struct {
        std::string flagged;  // inside the scratch folder; empty for the folder itself
        int flag;
        std::string told;
    } rows[] = {
        {"t.ac3", FS_IMMUTABLE_FL, "could not be replaced: it is immutable"},
        {"t.ac3", FS_APPEND_FL, "could not be replaced: it is append-only"},
        {"t.txt", FS_IMMUTABLE_FL, "Report file"},
        {"", FS_APPEND_FL, "could not be replaced: its folder is append-only"},
    };
    for (const auto& row : rows) {
        test::ScratchDir dir;
        test::WriteFile(dir.File("s.ac3"), Ac3Frames(6));
        test::WriteFile(dir.File("t.ac3"), Bytes(10, 7));
        test::WriteTextFile(dir.File("t.txt"), kSourceInfo + "an earlier report");
        const auto before = Contents(dir.Path());
        const InodeFlag flag(dir.File(row.flagged), row.flag);
        if (!flag.Ok()) {
            GTEST_SKIP() << "this file system or user cannot set inode flags (needs root on "
                            "ext4, XFS or Btrfs)";
        }
        RecordingObserver observer{kSourceInfo};
        const WriteResult result = Write(dir.File("s.ac3"), dir.File("t.ac3"), observer);
        EXPECT_NE(result.outcome, WriteOutcome::Complete) << row.told;
        EXPECT_NE(result.message.find(row.told), std::string::npos) << result.message;
        ExpectRefusedBeforeOpening(observer);
        EXPECT_EQ(Contents(dir.Path()), before) << row.told;
    }
}

// Another user's files in a shared folder, met by a child that runs as a second user. The
// folder is made under the system's temporary folder so that the second user can reach it
// from any checkout; a lock is another user's, a target the caller may not write is refused
// rather than replaced by a file of the caller's.
TEST(TargetWriterFaults, OtherUsersFilesInASharedFolder) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "acting as a second user needs root";
    }
    constexpr uid_t kCaller = 65534;  // nobody
    constexpr uid_t kThird = 65533;   // a user with no name, owner of the lock
    char base[] = "/tmp/velmora-shared-XXXXXX";
    ASSERT_NE(::mkdtemp(base), nullptr);
    ASSERT_EQ(::chmod(base, 0755), 0);
    const fs::path shared = base;
    struct Removal {
        fs::path path;
        ~Removal() { fs::remove_all(path); }
    } removal{shared};
    const Bytes source = Ac3Frames(6);
    const struct {
        std::string what;
        mode_t folderMode;
        uid_t targetOwner;
        WriteOutcome outcome;
        std::string told;
    } rows[] = {
        {"another user's lock", 01777, kCaller, WriteOutcome::Complete, ""},
        {"a root's file the caller may not write", 0777, 0, WriteOutcome::WriteFailed,
         "Permission denied"},
    };
    for (const auto& row : rows) {
        const fs::path folder = shared / std::to_string(&row - rows);
        fs::create_directory(folder);
        ASSERT_EQ(::chmod(folder.c_str(), row.folderMode), 0);
        test::WriteFile(folder / "s.ac3", source);
        test::WriteFile(folder / "t.ac3", Bytes(10, 7));
        test::WriteFile(folder / WriteLock::NameFor("t.ac3"), {});
        ASSERT_EQ(::chown((folder / "t.ac3").c_str(), row.targetOwner, row.targetOwner), 0);
        ASSERT_EQ(::chown((folder / WriteLock::NameFor("t.ac3")).c_str(), kThird, kThird), 0);
        for (const char* name : {"s.ac3", "t.ac3", ".t.ac3.velmora-lock"}) {
            ASSERT_EQ(::chmod((folder / name).c_str(), 0644), 0) << name;
        }

        int answer[2];
        ASSERT_EQ(::pipe(answer), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(answer[0]);
            RecordingObserver observer{kSourceInfo};
            std::string said = "could not become the second user";
            if (::setgroups(0, nullptr) == 0 && ::setresgid(kCaller, kCaller, kCaller) == 0 &&
                ::setresuid(kCaller, kCaller, kCaller) == 0) {
                const WriteResult result =
                    Write((folder / "s.ac3").string(), (folder / "t.ac3").string(), observer);
                said = std::to_string(static_cast<int>(result.outcome)) + " " + result.message;
            }
            ::_exit(::write(answer[1], said.data(), said.size()) < 0 ? 1 : 0);
        }
        ::close(answer[1]);
        std::string said;
        char buffer[512];
        for (ssize_t n; (n = ::read(answer[0], buffer, sizeof buffer)) > 0;) {
            said.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(answer[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(said.starts_with(std::to_string(static_cast<int>(row.outcome)) + " "))
            << row.what << ": " << said;
        EXPECT_NE(said.find(row.told), std::string::npos) << row.what << ": " << said;
        const Bytes written = test::ReadFile(folder / "t.ac3");
        EXPECT_EQ(written == Bytes(10, 7), row.outcome != WriteOutcome::Complete) << row.what;
        struct stat after {};
        ASSERT_EQ(::stat((folder / "t.ac3").c_str(), &after), 0);
        EXPECT_EQ(after.st_uid, row.targetOwner) << row.what;
    }
}

// Lowers this process's file-size limit for its lifetime; writes beyond it fail with EFBIG
// instead of raising SIGXFSZ, which is ignored meanwhile.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    [[nodiscard]] bool Ok() const { return ok_; }

  private:
    rlimit saved_{};
    void (*previousHandler_)(int) = SIG_DFL;
    bool ok_ = false;
};

// A disk that fills in the middle of the copy, after part of the target has been written:
// the earlier target and report stay exactly as they were, and nothing else is left.
TEST(TargetWriterFaults, DiskFullInTheMiddleKeepsTheEarlierTarget) {
    test::ScratchDir dir;
    const Bytes source = Ac3Frames(1500);  // 2.7 MB
    test::WriteFile(dir.File("s.ac3"), source);
    test::WriteFile(dir.File("t.ac3"), Bytes(10, 7));
    test::WriteTextFile(dir.File("t.txt"), kSourceInfo + "an earlier report");
    RecordingObserver observer{kSourceInfo};
    WriteResult result;
    {
        const FileSizeLimit limit(256 * 1024);
        ASSERT_TRUE(limit.Ok());
        result = Write(dir.File("s.ac3"), dir.File("t.ac3"), observer);
    }
    ExpectFailedWrite(result, WriteOutcome::WriteFailed, observer, dir.File("t.ac3"),
                      "File too large");
    EXPECT_EQ(test::ReadFile(dir.File("t.ac3")), Bytes(10, 7));
    EXPECT_EQ(test::ReadTextFile(dir.File("t.txt")), kSourceInfo + "an earlier report");
    EXPECT_EQ(test::ReadFile(dir.File("s.ac3")), source);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3);
    // Nothing was added at the end after the failure.
    EXPECT_EQ(observer.Statuses(), (std::vector<std::string>{"Writing...", "pending..."}));
}

// The target fits, the report does not: the earlier pair stands, nothing else is left.
TEST(TargetWriterFaults, ReportCutShortKeepsTheEarlierPair) {
    test::ScratchDir dir;
    const Bytes source = Ac3Frames(6);
    test::WriteFile(dir.File("s.ac3"), source);
    test::WriteFile(dir.File("t.ac3"), Bytes(10, 7));
    test::WriteTextFile(dir.File("t.txt"), kSourceInfo + "an earlier report");
    RecordingObserver observer{kSourceInfo + std::string(300 * 1024, 'i')};
    WriteResult result;
    {
        const FileSizeLimit limit(256 * 1024);
        ASSERT_TRUE(limit.Ok());
        result = Write(dir.File("s.ac3"), dir.File("t.ac3"), observer, Ac3Info(), "", "");
    }
    EXPECT_EQ(result.outcome, WriteOutcome::ReportFailed);
    EXPECT_NE(result.message.find(dir.File("t.txt")), std::string::npos) << result.message;
    EXPECT_NE(result.message.find("File too large"), std::string::npos) << result.message;
    EXPECT_TRUE(result.reportName.empty());
    EXPECT_EQ(test::ReadTextFile(dir.File("t.txt")), kSourceInfo + "an earlier report");
    EXPECT_EQ(test::ReadFile(dir.File("t.ac3")), Bytes(10, 7));
    // No unfinished file is left.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3);
}

// Cancel pressed between two blocks, before anything was written and after part of the
// target was: the earlier target and report stand, and the write stops at once.
TEST(TargetWriterFaults, CancelKeepsTheEarlierTargetAndStopsAtOnce) {
    test::ScratchDir dir;
    const Bytes source = Ac3Frames(2000);  // 3.6 MB, several blocks
    test::WriteFile(dir.File("s.ac3"), source);
    // The writer's first pass comes before the copy, then one pass per block.
    for (const int pass : {2, 4}) {
        test::WriteFile(dir.File("t.ac3"), Bytes(10, 7));
        test::WriteTextFile(dir.File("t.txt"), kSourceInfo + "an earlier report");
        RecordingObserver observer{kSourceInfo};
        observer.cancelAtEventPass = pass;
        const WriteResult result = Write(dir.File("s.ac3"), dir.File("t.ac3"), observer);
        EXPECT_EQ(result.outcome, WriteOutcome::Cancelled) << pass;
        EXPECT_NE(result.message.find(dir.File("t.ac3")), std::string::npos) << result.message;
        EXPECT_EQ(observer.eventPasses, pass) << "no block is read after Cancel";
        EXPECT_FALSE(observer.busyPointer);
        EXPECT_EQ(observer.InfoText().find("Target file information"), std::string::npos);
        EXPECT_EQ(test::ReadFile(dir.File("t.ac3")), Bytes(10, 7)) << pass;
        EXPECT_EQ(test::ReadTextFile(dir.File("t.txt")), kSourceInfo + "an earlier report");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3)
            << "the unfinished file is gone";
    }
}

// The source shrinks while it is copied (another program truncates it): a read failure.
TEST(TargetWriterFaults, SourceShrinkingDuringTheWriteRemovesTheTarget) {
    test::ScratchDir dir;
    test::WriteFile(dir.File("s.ac3"), Ac3Frames(2000));  // 3.6 MB, many blocks long
    RecordingObserver observer{kSourceInfo};
    observer.onStatus = [&](const std::string& status) {
        if (status == "Writing...") {
            fs::resize_file(dir.File("s.ac3"), 100 * kFrame);
        }
    };
    const WriteResult result = Write(dir.File("s.ac3"), dir.File("t.ac3"), observer);
    ExpectFailedWrite(result, WriteOutcome::ReadFailed, observer, dir.File("s.ac3"),
                      "shorter than when it was analysed");
    EXPECT_FALSE(fs::exists(dir.File("t.ac3")));
    EXPECT_FALSE(fs::exists(dir.File("t.txt")));
    EXPECT_EQ(observer.Statuses(), (std::vector<std::string>{"Writing...", "pending..."}));
}

}  // namespace
}  // namespace velmora
