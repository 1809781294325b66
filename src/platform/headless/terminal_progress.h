// A write's progress on a terminal: one line that overwrites itself, ended by a newline.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>

namespace velmora {

// "Writing  42 %   85.3 MB/s   0:07 left": the percent done, the speed so far in MB/s
// (10^6 bytes) and the time left at that speed, minutes and seconds (hours when needed).
// Speed and time left are left out until a measurable time has passed.
[[nodiscard]] std::string ProgressLine(std::int64_t done, std::int64_t total, double seconds);

class TerminalProgress {
  public:
    using Clock = std::chrono::steady_clock;

    // Nothing is ever written when `enabled` is false (standard error is no terminal), so
    // what scripts read does not change.
    // `label` goes in front of every line: "[2/5] " when a call corrects several files.
    TerminalProgress(std::ostream& out, bool enabled, std::string label = "")
        : out_(out), enabled_(enabled), label_(std::move(label)) {}

    // A write of `total` bytes begins.
    void Start(std::int64_t total);
    // Called for every frame, so it only compares two numbers until a whole percent more
    // is done.
    void Update(std::int64_t done) {
        if (active_ && done >= nextDraw_) {
            Draw(done);
        }
    }
    // The write is over; a complete one shows 100 %. The line is ended, so that what
    // follows starts on a line of its own.
    void Finish(bool complete);

  private:
    void Draw(std::int64_t done);

    std::ostream& out_;
    bool enabled_;
    std::string label_;
    bool active_ = false;
    std::int64_t total_ = 0;
    std::int64_t done_ = 0;
    std::int64_t nextDraw_ = 0;
    std::size_t shownLength_ = 0;
    Clock::time_point started_;
};

}  // namespace velmora
