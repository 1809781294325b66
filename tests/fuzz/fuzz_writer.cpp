// Fuzz target: the correction plan and the target writer on any stream and any delay texts.
//
// Input layout: byte 0 chooses the stream type (bits 0-1, taken modulo 3), the silence
// check box value (bits 2-3) and how the target is named (bits 4-5); then one length byte
// and up to 16 bytes of start-delay text, one length byte and up to 16 bytes of end-delay
// text; everything after that is the source stream.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analyse_source.h"
#include "common/number_text.h"
#include "correction/correction_plan.h"
#include "correction/report_file.h"
#include "correction/target_writer.h"
#include "correction/write_observer.h"
#include "formats/format_table.h"
#include "formats/frame_facts.h"
#include "fuzz_scratch.h"
#include "silence/silent_frames.h"

namespace {

namespace fs = std::filesystem;
using velmora::fuzz::Require;

// Larger inputs add nothing the fuzzer could not find with small ones; they only slow it.
constexpr std::size_t kMaxInputBytes = std::size_t{1} << 20;
// What one input may have the writer add. Plans beyond the writer's own ceiling are still
// run, since it must refuse them before opening anything; plans between the two would
// really be written and are skipped, so one input cannot fill the disk or take minutes.
constexpr long double kMaxAddedBytes = 1 << 20;
constexpr long double kMaxAddedFrames = 1 << 16;
constexpr long double kWriterAddFloorBytes = static_cast<long double>(std::int64_t{256} << 20);

// Takes the next piece of the input; short inputs give empty pieces.
class InputReader {
  public:
    InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::string_view Text(std::size_t count) {
        count = std::min(count, size_ - pos_);
        const std::string_view text(reinterpret_cast<const char*>(data_ + pos_), count);
        pos_ += count;
        return text;
    }
    [[nodiscard]] const std::uint8_t* Rest() const { return data_ + pos_; }
    [[nodiscard]] std::size_t RestSize() const { return size_ - pos_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Keeps the information text, as the report is saved from it, and checks the progress
// values against the maximum the writer announced.
class CheckingObserver final : public velmora::WriteObserver {
  public:
    void AppendInfo(const std::string& text) override { info_ += text; }
    [[nodiscard]] std::string InfoText() const override { return info_; }
    void ShowStatus(const std::string& text) override {
        Require(!text.empty(), "writer: a status text is never empty");
    }
    void ProcessPendingEvents() override {}
    void SetProgressMaximum(std::int64_t maximum) override {
        Require(maximum >= 0, "writer: the progress maximum is never negative");
        maximum_ = maximum;
    }
    void SetProgressValue(std::int64_t value) override {
        Require(value >= 0 && value <= maximum_, "writer: progress stays within its maximum");
    }
    void SetBusyPointer(bool busy) override {
        Require(busy != busy_, "writer: the busy pointer is switched on and off in pairs");
        busy_ = busy;
    }

    [[nodiscard]] bool Busy() const { return busy_; }

  private:
    std::string info_;
    std::int64_t maximum_ = 0;
    bool busy_ = false;
};

// Where the source's frames start, as each frame's own header tells, up to the first frame
// that is not whole or not of the stream: the walk any complete write must have made.
std::vector<std::size_t> FrameStarts(const std::vector<std::uint8_t>& stream,
                                     velmora::FileType fileType) {
    std::vector<std::size_t> starts;
    std::size_t at = 0;
    std::uint32_t key = 0;
    while (at < stream.size()) {
        const auto facts = velmora::ReadFrameFacts(fileType, std::span(stream).subspan(at));
        if (starts.empty()) {
            key = facts.streamKey;
        }
        if (!facts.syncOk || facts.length <= 0 || facts.streamKey != key ||
            static_cast<std::size_t>(facts.length) > stream.size() - at) {
            break;
        }
        starts.push_back(at);
        at += static_cast<std::size_t>(facts.length);
    }
    starts.push_back(at);  // the end of the last whole frame
    return starts;
}

// The whole milliseconds a delay text asks for, held at the 32-bit limits.
std::int32_t ClampedMilliseconds(std::string_view text) {
    const long double asked = velmora::RoundHalfEven(velmora::ReadLeadingNumber(text));
    if (asked >= static_cast<long double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (asked <= static_cast<long double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(asked);
}

// Where the stream mixes two frame sizes (44.1 kHz AC-3), its silence mixes the two silent
// frames so that it keeps the stream's byte rate. Checks the frames added at the start of
// the target: each is one of the two, and after every one of them the bytes added are less
// than the difference of the two sizes away from what the stream's own bit rate gives for
// that time. Returns the added bytes, as found in the target.
std::vector<std::uint8_t> MixedSilence(const std::vector<std::uint8_t>& written,
                                       const velmora::StreamInfo& info, std::int64_t count) {
    const std::vector<std::uint8_t>& shorter = info.SilentFrame;
    const std::vector<std::uint8_t>& longer = info.SilentFrameLong;
    Require(longer.size() > shorter.size(), "silence: the longer silent frame is longer");
    const auto slot = static_cast<long double>(longer.size() - shorter.size());
    const long double perFrame = static_cast<long double>(info.NominalBitRate) * 1000.0L / 8.0L *
                                 info.SamplesPerFrame / info.SamplingRate;
    Require(perFrame > static_cast<long double>(shorter.size()) &&
                perFrame < static_cast<long double>(longer.size()),
            "silence: the stream's bytes per frame lie between the two silent frames");
    const auto holdsAt = [&written](std::size_t at, const std::vector<std::uint8_t>& frame) {
        return written.size() - at >= frame.size() &&
               std::equal(frame.begin(), frame.end(),
                          written.begin() + static_cast<std::ptrdiff_t>(at));
    };
    std::size_t at = 0;
    for (std::int64_t n = 1; n <= count; ++n) {
        if (holdsAt(at, longer)) {
            at += longer.size();
        } else {
            Require(holdsAt(at, shorter),
                    "writer: each added frame is one of the two silent frames");
            at += shorter.size();
        }
        Require(
            std::abs(static_cast<long double>(at) - static_cast<long double>(n) * perFrame) < slot,
            "writer: silence of two frame sizes keeps the stream's byte rate");
    }
    return {written.begin(), written.begin() + static_cast<std::ptrdiff_t>(at)};
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxInputBytes) {
        return 0;
    }
    InputReader input(data, size);
    const std::uint8_t choices = input.Byte();
    const auto fileType = (choices & 0x40) != 0 ? velmora::FileType::Wav
                                                : static_cast<velmora::FileType>(choices & 3);
    const int addSilentValue = (choices >> 2) & 3;
    const int targetNaming = (choices >> 4) & 3;
    const std::string startText(input.Text(input.Byte() % 17));
    const std::string endText(input.Text(input.Byte() % 17));
    const std::vector<std::uint8_t> stream(input.Rest(), input.Rest() + input.RestSize());

    const fs::path& folder = velmora::fuzz::ScratchFolder();
    const fs::path source = folder / "source.bin";
    if (!velmora::fuzz::WriteBytes(source, stream.data(), stream.size())) {
        return 0;
    }
    fs::path target = folder / "target.ac3";
    if (targetNaming == 1) {
        target = source;
    } else if (targetNaming == 2) {
        target = folder / "." / "source.bin";
    } else if (targetNaming == 3) {
        target = folder / "t";
    }

    velmora::SourceAnalysis analysis = velmora::AnalyseSource(source.string(), fileType);
    velmora::LoadSilentFrame(analysis.info, fileType, addSilentValue);
    const velmora::StreamInfo& info = analysis.info;

    const velmora::PlannedCorrection planned =
        velmora::MakeCorrectionPlan(velmora::ReadWholeMilliseconds(startText), velmora::ReadWholeMilliseconds(endText), info);
    const velmora::CorrectionPlan& plan = planned.plan;
    Require(plan.startDelayMs == ClampedMilliseconds(startText) &&
                plan.endDelayMs == ClampedMilliseconds(endText),
            "plan: delays beyond 32 bits stop at the limit instead of wrapping");
    // Without a rate every count is 0.
    if (info.FramesPerSecond >= 0.0f) {
        Require(plan.cutStartFrames >= 0 && plan.addStartFrames >= 0 && plan.cutEndFrames >= 0 &&
                    plan.addEndFrames >= 0,
                "plan: frame counts are magnitudes while the rate is positive");
    }
    Require(plan.cutStartFrames == 0 || plan.addStartFrames == 0,
            "plan: the start is either cut or padded");
    Require(plan.cutEndFrames == 0 || plan.addEndFrames == 0,
            "plan: the end is either cut or padded");

    const std::int64_t addStart = std::max<std::int64_t>(plan.addStartFrames, 0);
    const std::int64_t addEnd = std::max<std::int64_t>(plan.addEndFrames, 0);
    const std::int64_t cutStart = std::max<std::int64_t>(plan.cutStartFrames, 0);
    const std::int64_t cutEnd = std::max<std::int64_t>(plan.cutEndFrames, 0);
    const long double addedFrames =
        static_cast<long double>(addStart) + static_cast<long double>(addEnd);
    const long double addedBytes = addedFrames * std::max(info.FrameLength, 0);
    const long double writerLimit =
        std::max(static_cast<long double>(stream.size()), kWriterAddFloorBytes);
    const bool refusedForSize = info.FrameLength > 0 && addedBytes > writerLimit;
    // No whole frame, or (where every frame has one length, so the count is known before the
    // walk) cuts that leave none: refused before the size is looked at.
    const std::int64_t audioEnd = info.AudioEnd > 0
                                      ? std::min<std::int64_t>(info.AudioEnd, static_cast<std::int64_t>(stream.size()))
                                      : static_cast<std::int64_t>(stream.size());
    const std::int64_t audioBytes = audioEnd - info.AudioStart;
    const std::int64_t sourceFrames = info.FrameLength > 0 ? audioBytes / info.FrameLength : 0;
    const bool nothingLeft =
        info.FrameLength > 0 &&
        (audioBytes - info.InfoFrameLength < info.FrameLength ||
         (info.FrameCountExact &&
          (cutStart >= sourceFrames || cutEnd >= sourceFrames - cutStart)));
    if (!refusedForSize && (addedBytes > kMaxAddedBytes || addedFrames > kMaxAddedFrames)) {
        velmora::fuzz::ClearScratchFolder();
        return 0;
    }

    velmora::WriteRequest request;
    request.sourceName = source.string();
    request.targetName = target.string();
    request.fileType = fileType;
    request.startDelayMs = plan.startDelayMs;
    request.endDelayMs = plan.endDelayMs;
    CheckingObserver observer;
    const velmora::WriteResult result = velmora::WriteTarget(request, info, observer);

    Require(!observer.Busy(), "writer: the busy pointer is back to normal at the end");
    const auto sourceAfter = velmora::fuzz::ReadBytes(source);
    Require(sourceAfter.has_value() && *sourceAfter == stream, "writer: the source is untouched");

    const bool targetIsSource = targetNaming == 1 || targetNaming == 2;
    const fs::path report = velmora::ReportNameFor(target.string());
    switch (result.outcome) {
        case velmora::WriteOutcome::NoUsableHeader:
        case velmora::WriteOutcome::TargetIsSource:
        case velmora::WriteOutcome::TooMuchToAdd:
        case velmora::WriteOutcome::NothingToWrite:
            Require(!result.message.empty(), "writer: a refusal says why");
            Require(targetIsSource || !Exists(target), "writer: a refusal opens no target");
            Require(!Exists(report), "writer: a refusal saves no report");
            break;
        case velmora::WriteOutcome::Complete: {
            Require(!targetIsSource, "writer: the source is never its own target");
            const auto written = velmora::fuzz::ReadBytes(target);
            Require(written.has_value(), "writer: a complete write leaves its target");
            Require(result.framesWritten > 0, "writer: a complete write holds frames");
            Require(!result.reportName.empty() && Exists(result.reportName),
                    "writer: a complete write saves its report");
            if (fileType == velmora::FileType::MpegAudio || fileType == velmora::FileType::Aac ||
                fileType == velmora::FileType::Wav || info.AudioStart != 0) {
                // Tags, info frames, chunks and the junk before a first frame make the layout
                // the real-stream tests' business.
                break;
            }
            // The target is the frames added at the start, the kept source frames byte for
            // byte, and copies of the last frame.
            const std::vector<std::size_t> starts = FrameStarts(stream, fileType);
            const auto frames = static_cast<std::int64_t>(starts.size()) - 1;
            const std::int64_t keptEnd = frames - std::min(cutEnd, frames);
            Require(keptEnd > cutStart, "writer: a complete write keeps a source frame");
            const auto first = std::span(stream).subspan(0, starts[1]);
            const auto last = std::span(stream).subspan(
                starts[static_cast<std::size_t>(frames - 1)],
                starts[static_cast<std::size_t>(frames)] - starts[static_cast<std::size_t>(frames - 1)]);
            std::vector<std::uint8_t> expected;
            const bool silent = info.SilentFrameLoaded && !info.SilentFrame.empty();
            if (silent && !info.SilentFrameLong.empty()) {
                expected = MixedSilence(*written, info, addStart);
            } else {
                for (std::int64_t n = 0; n < addStart; ++n) {
                    if (silent) {
                        expected.insert(expected.end(), info.SilentFrame.begin(),
                                        info.SilentFrame.end());
                    } else {
                        expected.insert(expected.end(), first.begin(), first.end());
                    }
                }
            }
            expected.insert(expected.end(),
                            stream.begin() + static_cast<std::ptrdiff_t>(
                                                 starts[static_cast<std::size_t>(cutStart)]),
                            stream.begin() + static_cast<std::ptrdiff_t>(
                                                 starts[static_cast<std::size_t>(keptEnd)]));
            for (std::int64_t n = 0; n < addEnd; ++n) {
                expected.insert(expected.end(), last.begin(), last.end());
            }
            Require(*written == expected,
                    "writer: the target is the added frames around the kept source frames");
            Require(result.framesWritten == addStart + (keptEnd - cutStart) + addEnd,
                    "writer: the frames written are the ones the report counts");
            break;
        }
        case velmora::WriteOutcome::SourceDamaged:
            Require(Exists(target) == (result.framesWritten > 0),
                    "writer: a damaged source keeps the frames before the fault, if any");
            Require(!Exists(report), "writer: a damaged source saves no report");
            break;
        case velmora::WriteOutcome::TargetBusy:
        case velmora::WriteOutcome::ReadFailed:
        case velmora::WriteOutcome::WriteFailed:
        case velmora::WriteOutcome::ReportFailed:
        case velmora::WriteOutcome::Cancelled:
            // The source is readable, the scratch folder writable and nobody presses Cancel,
            // so these cannot happen.
            Require(false, "writer: no read, write or report failure in a usable folder");
            break;
    }
    // The cheaper refusals (no frame length, target is the source, nothing left) come first.
    Require((refusedForSize && !targetIsSource && !nothingLeft) ==
                (result.outcome == velmora::WriteOutcome::TooMuchToAdd),
            "writer: exactly the plans beyond its ceiling are refused for their size");
    Require(info.FrameLength > 0 || result.outcome == velmora::WriteOutcome::NoUsableHeader,
            "writer: no frame length, no write");
    // Streams whose count only the walk tells are refused as empty by the walk, after it.
    Require(!(nothingLeft && !targetIsSource) ||
                result.outcome == velmora::WriteOutcome::NothingToWrite,
            "writer: plans that keep no source frame are refused as empty");

    velmora::fuzz::ClearScratchFolder();
    return 0;
}
