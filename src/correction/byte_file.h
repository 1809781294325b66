// Whole-block reading and writing of plain byte files, with every failure told in words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace velmora {

// The one sentence for a file that failed: `What file "name" could not be <done>: <reason>.`,
// for instance FileFailure("Target", "out.ac3", "written", "No space left on device").
[[nodiscard]] std::string FileFailure(const std::string& what, const std::string& name,
                                      const std::string& done, const std::string& reason);

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

    [[nodiscard]] bool Open(const std::string& name);
    // Length in bytes of the file opened; empty when it cannot be told.
    [[nodiscard]] std::optional<std::int64_t> Length();
    // Reads up to `count` bytes and returns how many it read. Fewer than `count` means the
    // file ended early or could not be read, and Reason() tells which.
    [[nodiscard]] std::size_t Read(std::uint8_t* data, std::size_t count);
    void Close();

    [[nodiscard]] const std::string& Reason() const { return reason_; }

  private:
    std::FILE* file_ = nullptr;
    std::string name_;
    std::string reason_;
};

// A file created (or emptied) for writing. Only a successful Close() means that everything
// reached the file: some file systems report a failure only there.
class OutputFile {
  public:
    OutputFile() = default;
    // Closes without looking at the result; call Close() to know whether the data is safe.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    [[nodiscard]] bool Create(const std::string& name);
    [[nodiscard]] bool Write(const std::uint8_t* data, std::size_t count);
    [[nodiscard]] bool Write(const std::string& text);
    // Cuts the file to `length` bytes; later writes continue from there.
    [[nodiscard]] bool Truncate(std::int64_t length);
    // Writes over bytes already written, leaving the position for later writes alone.
    [[nodiscard]] bool WriteAt(std::int64_t offset, const std::uint8_t* data, std::size_t count);
    // Flushes and closes; false when either fails (a full disk often shows only here).
    [[nodiscard]] bool Close();

    [[nodiscard]] const std::string& Reason() const { return reason_; }

  private:
    std::FILE* file_ = nullptr;
    std::string reason_;
};

}  // namespace velmora
