// Fuzz target: the correction plan and the target writer on any stream and any delay texts.
//
// Input layout: byte 0 chooses the stream type (bits 0-1, taken modulo 3), the silence
// check box value (bits 2-3) and how the target is named (bits 4-5); then one length byte
// and up to 16 bytes of start-delay text, one length byte and up to 16 bytes of end-delay
// text; everything after that is the source stream.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analyse_source.h"
#include "analysis/number_text.h"
#include "correction/correction_plan.h"
#include "correction/report_file.h"
#include "correction/silent_frames.h"
#include "correction/target_writer.h"
#include "correction/write_observer.h"
#include "fuzz_scratch.h"

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

// The frames a complete write holds, from the plan and the source's whole frames.
std::int64_t ExpectedFrames(const velmora::CorrectionPlan& plan, std::int64_t wholeFrames) {
    const std::int64_t copyEnd = wholeFrames - std::max<std::int64_t>(plan.cutEndFrames, 0);
    std::int64_t frames = std::max<std::int64_t>(plan.addEndFrames, 0);
    if (copyEnd > 0) {
        // The start insertion happens at the first frame read, so only when one is read.
        frames += std::max<std::int64_t>(plan.addStartFrames, 0);
        frames +=
            std::max<std::int64_t>(copyEnd - std::max<std::int64_t>(plan.cutStartFrames, 0), 0);
    }
    return frames;
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

// Frames added at the start are the silent frame when one is loaded, else copies of the first
// source frame; frames added at the end repeat the last frame read, zeros when none was.
void CheckInsertedFrames(const std::vector<std::uint8_t>& written,
                         const std::vector<std::uint8_t>& stream,
                         const velmora::CorrectionPlan& plan, const velmora::StreamInfo& info,
                         std::int64_t copyEnd) {
    const auto frameLength = static_cast<std::size_t>(info.FrameLength);
    auto frameAt = [&](std::int64_t index) {
        return written.begin() +
               static_cast<std::ptrdiff_t>(index) * static_cast<std::ptrdiff_t>(frameLength);
    };
    if (copyEnd > 0 && plan.addStartFrames > 0) {
        const bool silent = info.SilentFrameLoaded && info.SilentFrame.size() >= frameLength;
        const auto expected = silent ? info.SilentFrame.begin() : stream.begin();
        for (std::int64_t n = 0; n < plan.addStartFrames; ++n) {
            Require(std::equal(expected, expected + static_cast<std::ptrdiff_t>(frameLength),
                               frameAt(n)),
                    "writer: frames added at the start are the silent or the first frame");
        }
    }
    if (plan.addEndFrames > 0) {
        std::vector<std::uint8_t> last(frameLength, 0);
        if (copyEnd > 0) {
            const auto from = stream.begin() + static_cast<std::ptrdiff_t>(copyEnd - 1) *
                                                   static_cast<std::ptrdiff_t>(frameLength);
            std::copy_n(from, frameLength, last.begin());
        }
        const std::int64_t firstAdded =
            static_cast<std::int64_t>(written.size() / frameLength) - plan.addEndFrames;
        for (std::int64_t n = firstAdded; n < firstAdded + plan.addEndFrames; ++n) {
            Require(std::equal(last.begin(), last.end(), frameAt(n)),
                    "writer: frames added at the end repeat the last frame read");
        }
    }
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
    const auto fileType = static_cast<velmora::FileType>((choices & 3) % 3);
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
    velmora::LoadSilentFrame(analysis.info, fileType, analysis.fifthByte, addSilentValue);
    const velmora::StreamInfo& info = analysis.info;

    const velmora::PlannedCorrection planned =
        velmora::MakeCorrectionPlan(startText, endText, info);
    const velmora::CorrectionPlan& plan = planned.plan;
    Require(plan.startDelayMs == ClampedMilliseconds(startText) &&
                plan.endDelayMs == ClampedMilliseconds(endText),
            "plan: delays beyond 32 bits stop at the limit instead of wrapping");
    // A negative rate (DTS open, variable and lossless streams) gives negative counts, which
    // the writer takes as no change at that end.
    if (info.FramesPerSecond > 0.0f) {
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
    // No whole frame, or cuts that leave none: refused before the size is looked at.
    const std::int64_t sourceFrames =
        info.FrameLength > 0 ? static_cast<std::int64_t>(stream.size()) / info.FrameLength : 0;
    const bool nothingLeft =
        info.FrameLength > 0 &&
        (sourceFrames == 0 || cutStart >= sourceFrames || cutEnd >= sourceFrames - cutStart);
    if (!refusedForSize && (addedBytes > kMaxAddedBytes || addedFrames > kMaxAddedFrames)) {
        velmora::fuzz::ClearScratchFolder();
        return 0;
    }

    velmora::WriteRequest request;
    request.sourceName = source.string();
    request.targetName = target.string();
    request.fileType = fileType;
    request.startDelayText = startText;
    request.endDelayText = endText;
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
            const std::int64_t frameLength = info.FrameLength;
            Require(
                static_cast<std::int64_t>(written->size()) == result.framesWritten * frameLength,
                "writer: the target is the frames written, whole");
            const std::int64_t wholeFrames = static_cast<std::int64_t>(stream.size()) / frameLength;
            Require(result.framesWritten == ExpectedFrames(plan, wholeFrames),
                    "writer: the frames written are the ones planned");
            // The copied source frames sit right after the frames added at the start.
            const std::int64_t copyEnd = wholeFrames - cutEnd;
            if (copyEnd > cutStart) {
                const auto copiedFrom = stream.begin() + cutStart * frameLength;
                const auto copiedTo = stream.begin() + copyEnd * frameLength;
                Require(std::equal(copiedFrom, copiedTo, written->begin() + addStart * frameLength),
                        "writer: the kept source frames are copied byte for byte");
            }
            CheckInsertedFrames(*written, stream, plan, info, copyEnd);
            Require(!result.reportName.empty() && Exists(result.reportName),
                    "writer: a complete write saves its report");
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
            // The source is readable and the scratch folder writable, so these cannot happen.
            Require(false, "writer: no read, write or report failure in a usable folder");
            break;
    }
    // The cheaper refusals (no frame length, target is the source, nothing left) come first.
    Require((refusedForSize && !targetIsSource && !nothingLeft) ==
                (result.outcome == velmora::WriteOutcome::TooMuchToAdd),
            "writer: exactly the plans beyond its ceiling are refused for their size");
    Require(info.FrameLength > 0 || result.outcome == velmora::WriteOutcome::NoUsableHeader,
            "writer: no frame length, no write");
    Require((nothingLeft && !targetIsSource) ==
                (result.outcome == velmora::WriteOutcome::NothingToWrite),
            "writer: exactly the plans that keep no source frame are refused as empty");

    velmora::fuzz::ClearScratchFolder();
    return 0;
}
