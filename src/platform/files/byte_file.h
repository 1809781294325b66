// Whole-block reading and writing of plain byte files, with every failure told in words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// The one sentence for a file that failed: `What file "name" could not be <done>: <reason>.`,
// for instance FileFailure("Target", "out.ac3", "written", "No space left on device").
[[nodiscard]] std::string FileFailure(const std::string& what, const std::string& name,
                                      const std::string& done, const std::string& reason);

// Which file a name or an open file is, whatever its names: equal for every name of one file
// (links, "..", /dev/fd/N).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// A folder opened once. Every later step of a write works inside it, whatever its name or a
// link on its way leads to by then: a name that is changed during the write (a link flipped
// to another folder) cannot move the write elsewhere.
class Folder {
  public:
    Folder() = default;
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // Opens the folder part of a name: "" is the current folder; otherwise it ends with a
    // separator ("out/", "/tmp/"). The system follows the links in it at this moment.
    [[nodiscard]] bool Open(const std::string& path);
    // As given, to be put in front of a file name in messages.
    [[nodiscard]] const std::string& Path() const { return path_; }
    // The open folder (-1 where the system has no folder descriptors).
    [[nodiscard]] int Descriptor() const { return fd_; }
    [[nodiscard]] const std::string& Reason() const { return reason_; }

  private:
    int fd_ = -1;
    std::string path_;
    std::string reason_;
};

// Callers move data in blocks of many kilobytes, so the files keep no buffer of their own:
// every read and write goes straight to the system, as in a plain file copy, which saves
// one copy of every byte and keeps memory use down to the caller's block.

// A source opened for reading. Failures leave a reason (the system's words, or why the data
// was not as expected) in Reason().
class InputFile {
  public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens a regular file only: a folder, a device, a socket or a pipe is refused with the
    // reason "not a regular file", and a pipe is refused without waiting for a writer.
    [[nodiscard]] bool Open(const std::string& name);
    // The same for a file in an open folder.
    [[nodiscard]] bool Open(const Folder& folder, const std::string& name);
    // Length in bytes of the file opened; empty when it cannot be told.
    [[nodiscard]] std::optional<std::int64_t> Length();
    // The open file itself, not whatever its name leads to by now.
    [[nodiscard]] std::optional<FileIdentity> Identity();
    // Reads up to `count` bytes and returns how many it read. Fewer than `count` means the
    // file ended early or could not be read, and Reason() tells which.
    [[nodiscard]] std::size_t Read(std::uint8_t* data, std::size_t count);
    // Moves the next Read() to `offset` bytes from the start.
    [[nodiscard]] bool Seek(std::int64_t offset);
    void Close();

    [[nodiscard]] const std::string& Reason() const { return reason_; }

  private:
    bool OpenAt(int folder, const std::string& name);
    friend class OutputFile;  // copies inside the system need the open file

    int fd_ = -1;
    std::string reason_;
};

// How a copy of bytes from one file to another ended; the file that failed has the reason.
enum class CopyRangeEnd { Done, ReadFailed, WriteFailed };

// A file created for writing. Only a successful Close() means that everything reached the
// file: some file systems report a failure only there.
class OutputFile {
  public:
    OutputFile() = default;
    // Closes without looking at the result; call Close() to know whether the data is safe.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates a file that does not exist yet; fails when anything stands under the name, a
    // symbolic link included, so nothing is ever written through a link or over a file.
    // The permission bits are those a new file gets (0666 less the process's mask) unless
    // `permissions` gives them exactly.
    [[nodiscard]] bool CreateNew(const std::string& name,
                                 std::optional<unsigned> permissions = std::nullopt);
    // The same in an open folder.
    [[nodiscard]] bool CreateNew(const Folder& folder, const std::string& name,
                                 std::optional<unsigned> permissions = std::nullopt);
    // The open file, for what the system can do only with it (-1 when closed).
    [[nodiscard]] int Descriptor() const { return fd_; }
    [[nodiscard]] bool Write(const std::uint8_t* data, std::size_t count);
    [[nodiscard]] bool Write(const std::string& text);
    // The offset the next Write() goes to; empty when the file is not open.
    [[nodiscard]] std::optional<std::int64_t> Position();
    // Cuts the file to `length` bytes (or extends it with zeros); later writes continue at
    // the new end, so that nothing is left as a hole.
    [[nodiscard]] bool Truncate(std::int64_t length);
    // Appends `count` bytes of `source` from `offset` on, inside the system where it can
    // (no copy through the program), else by reading and writing.
    [[nodiscard]] CopyRangeEnd CopyFrom(InputFile& source, std::int64_t offset,
                                        std::int64_t count);
    // Writes at `offset` without moving the position of Write().
    [[nodiscard]] bool WriteAt(std::int64_t offset, const std::uint8_t* data, std::size_t count);
    // Closes; false when the system reports a failure (a full disk often shows only here).
    [[nodiscard]] bool Close();

    [[nodiscard]] const std::string& Reason() const { return reason_; }

  private:
    bool CreateAt(int folder, const std::string& name, std::optional<unsigned> permissions);
    CopyRangeEnd CopyByReading(InputFile& source, std::int64_t offset, std::int64_t count);
    bool WriteAll(const std::uint8_t* data, std::size_t count, std::optional<std::int64_t> offset);

    int fd_ = -1;
    std::string reason_;
};

}  // namespace velmora
