// A write's progress on a terminal.
#include "platform/headless/terminal_progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velmora {

namespace {

// Below this, a speed would be a guess from a few blocks.
constexpr double kShortestMeasuredSeconds = 0.05;

std::string Clock(std::int64_t seconds) {
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    }
    return text;
}

}  // namespace

std::string ProgressLine(std::int64_t done, std::int64_t total, double seconds) {
    done = std::clamp<std::int64_t>(done, 0, std::max<std::int64_t>(total, 0));
    const int percent =
        total > 0 ? static_cast<int>(static_cast<long double>(done) * 100 / total) : 100;
    char text[96];
    std::snprintf(text, sizeof text, "Writing %3d %%", percent);
    std::string line = text;
    if (seconds >= kShortestMeasuredSeconds && done > 0) {
        const double bytesPerSecond = static_cast<double>(done) / seconds;
        std::snprintf(text, sizeof text, "   %.1f MB/s   ", bytesPerSecond / 1e6);
        line += text;
        const double left = static_cast<double>(total - done) / bytesPerSecond;
        line += Clock(static_cast<std::int64_t>(std::ceil(left))) + " left";
    }
    return line;
}

void TerminalProgress::Start(std::int64_t total) {
    if (!enabled_ || total <= 0) {
        return;
    }
    active_ = true;
    total_ = total;
    done_ = 0;
    shownLength_ = 0;
    started_ = Clock::now();
    Draw(0);
}

void TerminalProgress::Draw(std::int64_t done) {
    done_ = done;
    // At most a hundred lines per write, whatever the number of frames.
    nextDraw_ = done + std::max<std::int64_t>(total_ / 100, 1);
    const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    const std::string line = label_ + ProgressLine(done, total_, seconds);
    // Blanks cover what a longer line before left standing.
    const std::size_t pad = shownLength_ > line.size() ? shownLength_ - line.size() : 0;
    out_ << '\r' << line << std::string(pad, ' ');
    out_.flush();
    shownLength_ = line.size();
}

void TerminalProgress::Finish(bool complete) {
    if (!active_) {
        return;
    }
    Draw(complete ? total_ : done_);
    out_ << '\n';
    out_.flush();
    active_ = false;
}

}  // namespace velmora
