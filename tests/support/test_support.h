// Helpers the tests share: scratch folders, files as bytes, running ffmpeg, built streams.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velmora::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh, empty folder for one test, named after the running test; removed at the end.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    // Full name of a file inside the folder, as a string.
    [[nodiscard]] std::string File(const std::string& name) const;

private:
    std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const Bytes& bytes);
void WriteTextFile(const std::filesystem::path& path, const std::string& text);
[[nodiscard]] Bytes ReadFile(const std::filesystem::path& path);
[[nodiscard]] std::string ReadTextFile(const std::filesystem::path& path);

struct CommandResult {
    int exitStatus = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs a shell command line; output is captured through temporary files.
[[nodiscard]] CommandResult RunCommand(const std::string& commandLine);

// The built program, and a run of it without a display, so a build with the window never
// waits for a user. `before` comes ahead of the program (a wrapper such as flock), `after`
// behind its arguments (redirections), `setUp` ahead of all of it (ulimit).
extern const std::string kProgram;
[[nodiscard]] CommandResult RunVelmora(const std::vector<std::string>& arguments,
                                       const std::string& before = "",
                                       const std::string& after = "",
                                       const std::string& setUp = "");

// Single-quotes a text for the shell.
[[nodiscard]] std::string ShellQuote(const std::string& text);

// A strict decode by ffmpeg (every CRC checked, any error fatal) to interleaved 16-bit
// samples, every sample the frames hold: no trimming of encoder delay, which would move
// audio across the edits. `errors` is what the decoder said; empty for a sound stream.
struct Decoded {
    std::vector<std::int16_t> samples;
    std::string errors;
    int exitStatus = -1;
};
[[nodiscard]] Decoded DecodeStrictly(const std::string& file);

// Fails the calling test (ADD_FAILURE) and returns false when ffmpeg or ffprobe is missing,
// so a machine without them cannot pass silently.
[[nodiscard]] bool HaveFfmpeg();

// A stream of `count` frames of `frameLength` bytes; every frame starts with the given
// header bytes, and the rest of each frame holds the frame's index so frames differ.
[[nodiscard]] Bytes BuildFrames(const Bytes& header, std::int64_t frameLength, std::int64_t count);

// `count` copies of one frame (a frame built here), one after another.
[[nodiscard]] Bytes Repeated(const Bytes& frame, int count);

// The first bytes of a 5.1 AC-3 frame (syncinfo and layout) with the given fifth byte.
[[nodiscard]] Bytes Ac3Header(std::uint8_t fifthByte);

}  // namespace velmora::test
