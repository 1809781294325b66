// Writes the corrected copy of the source, frame by frame, and saves the report beside it.
#include "correction/target_writer.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

#include "analysis/report_text.h"
#include "correction/byte_file.h"
#include "correction/correction_plan.h"
#include "correction/file_safety.h"
#include "correction/frame_copy.h"
#include "correction/report_file.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

// Frames to add are refused above this many bytes unless the source itself is larger: a
// mistyped delay must not fill the disk.
constexpr std::int64_t kAddLimitFloorBytes = std::int64_t{256} << 20;

// A whole count held in a long double, as plain digits; beyond 64 bits it stays at the limit.
std::string WholeNumberText(long double value) {
    if (value >= static_cast<long double>(std::numeric_limits<std::int64_t>::max())) {
        return std::to_string(std::numeric_limits<std::int64_t>::max());
    }
    return std::to_string(static_cast<std::int64_t>(value));
}

WriteResult Failure(WriteOutcome outcome, std::string message) {
    WriteResult result;
    result.outcome = outcome;
    result.message = std::move(message);
    return result;
}

// Switches the pointer to the busy shape for as long as it lives, whichever way the write ends.
class BusyPointer {
  public:
    explicit BusyPointer(WriteObserver& observer) : observer_(observer) {
        observer_.SetBusyPointer(true);
    }
    ~BusyPointer() { observer_.SetBusyPointer(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

  private:
    WriteObserver& observer_;
};

// One row of the target information: "n frames (ms ms) have been <what>.\r\n", singular for 1.
std::string CountLine(std::int64_t frames, const std::string& unitWord, const std::string& what,
                      float framesPerSecond) {
    const std::string ms = std::to_string(FramesToMs(frames, framesPerSecond));
    if (frames == 1) {
        return "1 " + unitWord + " (" + ms + "ms) has been " + what + ".\r\n";
    }
    return std::to_string(frames) + " " + unitWord + "s (" + ms + "ms) have been " + what + ".\r\n";
}

// What was really done, which is less than planned when the source is shorter.
void AppendTargetInformation(WriteObserver& observer, const CopyState& copy, float fps) {
    observer.AppendInfo("\r\nTarget file information:\r\n\r\n");
    if (copy.cutStartFrames >= 1) {
        observer.AppendInfo(CountLine(copy.cutStartFrames, "frame", "cut at start", fps));
    }
    if (copy.addStartFrames >= 1) {
        observer.AppendInfo(CountLine(copy.addStartFrames, copy.unitWord, "added at start", fps));
    }
    if (copy.cutEndFrames >= 1) {
        observer.AppendInfo(CountLine(copy.cutEndFrames, "frame", "cut at end", fps));
    }
    if (copy.addEndFrames >= 1) {
        observer.AppendInfo(CountLine(copy.addEndFrames, "frame", "added at end", fps));
    }
    // The count really written, always in the plural.
    observer.AppendInfo(std::to_string(copy.framesWritten) + " frames (" +
                        FramesToTime(copy.framesWritten, fps) + ") have been written.\r\n");
    if (copy.shortLastFrame) {
        observer.AppendInfo("Last frame was too short. Ignored.\r\n");
    }
    observer.AppendInfo(FrameRateSentence(fps));
}

}  // namespace

WriteResult WriteTarget(const WriteRequest& request, const StreamInfo& info,
                        WriteObserver& observer) {
    observer.ProcessPendingEvents();
    const PlannedCorrection planned =
        MakeCorrectionPlan(request.startDelayText, request.endDelayText, info);
    const CorrectionPlan& plan = planned.plan;
    if (!planned.lines.empty()) {
        observer.AppendInfo(planned.lines);
    }

    // Refusals come before anything is opened, so neither file is touched.
    if (info.FrameLength <= 0) {
        return Failure(WriteOutcome::NoUsableHeader, info.Unusable.empty()
                                                         ? "Source file has no usable frame header."
                                                         : info.Unusable + ".");
    }
    if (SameExistingFile(request.sourceName, request.targetName)) {
        return Failure(WriteOutcome::TargetIsSource, "Target file is the source file.");
    }
    const std::int64_t frameLength = info.FrameLength;
    {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(fs::path(request.sourceName), error);
        if (error) {
            return Failure(WriteOutcome::ReadFailed,
                           FileFailure("Source", request.sourceName, "read", error.message()));
        }
        // Long double keeps absurd counts from overflowing before they are compared.
        const long double added =
            (static_cast<long double>(std::max<std::int64_t>(plan.addStartFrames, 0)) +
             static_cast<long double>(std::max<std::int64_t>(plan.addEndFrames, 0))) *
            static_cast<long double>(frameLength);
        const long double limit =
            std::max(static_cast<long double>(size), static_cast<long double>(kAddLimitFloorBytes));
        if (added > limit) {
            const long double frames = added / static_cast<long double>(frameLength);
            return Failure(WriteOutcome::TooMuchToAdd,
                           "The delays would add " + WholeNumberText(frames) + " frames (" +
                               WholeNumberText(added) +
                               " bytes) to the target, more than the source holds or 256 MiB. "
                               "Nothing was written.");
        }
    }

    std::int64_t sourceLength = 0;
    CopyState copy;
    WriteResult result;
    {
        // The pointer is busy and the files are open for this block only, whichever way it
        // is left.
        const BusyPointer busy(observer);
        InputFile source;
        if (!source.Open(request.sourceName)) {
            return Failure(WriteOutcome::ReadFailed,
                           FileFailure("Source", request.sourceName, "opened", source.Reason()));
        }
        const std::optional<std::int64_t> length = source.Length();
        if (!length) {
            return Failure(WriteOutcome::ReadFailed,
                           FileFailure("Source", request.sourceName, "read", source.Reason()));
        }
        sourceLength = *length;
        OutputFile target;
        if (!target.Create(request.targetName)) {
            return Failure(WriteOutcome::WriteFailed,
                           FileFailure("Target", request.targetName, "created", target.Reason()));
        }

        copy = CopyFrames(source, target, sourceLength, plan, info, request.fileType, observer);

        if (copy.end == CopyEnd::ReadFailed) {
            result = Failure(WriteOutcome::ReadFailed,
                             FileFailure("Source", request.sourceName, "read", source.Reason()));
        } else if (copy.end == CopyEnd::NothingLeft) {
            result = Failure(WriteOutcome::NothingToWrite,
                             copy.sourceFrames == 0
                                 ? "Source file holds no whole frame. Nothing was written."
                                 : "The cuts remove the whole stream. Nothing was written.");
        } else if (copy.end == CopyEnd::WriteFailed) {
            result = Failure(WriteOutcome::WriteFailed,
                             FileFailure("Target", request.targetName, "written", target.Reason()));
        }
        source.Close();
        // Some file systems report a failed write only when the file is closed.
        if (!target.Close() && result.outcome == WriteOutcome::Complete) {
            result = Failure(WriteOutcome::WriteFailed,
                             FileFailure("Target", request.targetName, "written", target.Reason()));
        }
        observer.ShowStatus("pending...");
    }
    result.framesWritten = copy.framesWritten;

    if (result.outcome != WriteOutcome::Complete) {
        // A target that failed for want of data or space is useless and must not pass for a
        // finished one.
        RemoveIncompleteFile(request.targetName);
        return result;
    }
    if (copy.end == CopyEnd::Damaged) {
        // The frames before the damaged one stay: they are good, and the user is asked to
        // look at the source.
        result.outcome = WriteOutcome::SourceDamaged;
        result.message = "Source file damaged.";
        return result;
    }

    observer.SetProgressValue(0);
    AppendTargetInformation(observer, copy, info.FramesPerSecond);
    const ReportSave report =
        SaveReport(request.sourceName, request.targetName, observer.InfoText());
    if (!report.saved) {
        result.outcome = WriteOutcome::ReportFailed;
    }
    result.message = report.message;
    result.reportName = report.reportName;
    result.reportRenamed = report.renamed;
    return result;
}

}  // namespace velmora
