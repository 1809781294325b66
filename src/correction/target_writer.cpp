// Writes the corrected copy of the source, frame by frame, and saves the report beside it.
#include "correction/target_writer.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>
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

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

// The refusal for cuts that leave no frame of the source, with the count when it is known.
std::string NothingLeftMessage(std::optional<std::int64_t> wholeFrames) {
    const std::string count =
        wholeFrames ? " of " + std::to_string(*wholeFrames) + " frames" : std::string();
    return "The cuts remove the whole stream" + count + ". Nothing was written.";
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
        MakeCorrectionPlan(request.startDelayMs, request.endDelayMs, info);
    const CorrectionPlan& plan = planned.plan;
    if (!planned.lines.empty()) {
        observer.AppendInfo(planned.lines);
    }
    const std::string& sourceName = request.sourceName;
    const std::string& targetName = request.targetName;

    // Refusals come before anything is created, so neither the target nor its report is
    // touched. The source is opened first: its own reason (a folder, a pipe, no permission)
    // says more than the analysis' finding that it holds no frame header.
    InputFile source;
    if (!source.Open(sourceName)) {
        return Failure(WriteOutcome::ReadFailed,
                       FileFailure("Source", sourceName, "opened", source.Reason()));
    }
    if (info.FrameLength <= 0) {
        return Failure(WriteOutcome::NoUsableHeader,
                       info.Unusable.empty()
                           ? "Source file " + Quoted(sourceName) + " has no usable frame header."
                           : "Source file " + Quoted(sourceName) + " cannot be corrected. " +
                                 info.Unusable + ".");
    }
    const std::optional<std::int64_t> sourceLength = source.Length();
    const std::optional<FileIdentity> sourceIdentity = source.Identity();
    if (!sourceLength || !sourceIdentity) {
        return Failure(WriteOutcome::ReadFailed,
                       FileFailure("Source", sourceName, "read", source.Reason()));
    }

    // Looked up with the source open, so that a name for the open source itself (/dev/fd/3,
    // /proc/self/fd/3) leads to it and is refused like any other spelling of it.
    const TargetPlace place = LookUpTarget(targetName);
    switch (place.kind) {
        case TargetPlace::Kind::Unreachable:
            return Failure(WriteOutcome::WriteFailed,
                           FileFailure("Target", targetName, "created", place.reason));
        case TargetPlace::Kind::NotRegular:
            // Opening a pipe would wait for ever, and a device or a folder is no target.
            return Failure(WriteOutcome::WriteFailed,
                           "Target file " + Quoted(targetName) + " is not a regular file.");
        case TargetPlace::Kind::Regular:
            if (place.identity == *sourceIdentity) {
                return Failure(WriteOutcome::TargetIsSource,
                               "Target file " + Quoted(targetName) + " is the source file.");
            }
            break;
        case TargetPlace::Kind::Missing:
            break;
    }

    const std::int64_t frameLength = info.FrameLength;
    const std::int64_t audioEnd = info.AudioEnd > 0 ? std::min(info.AudioEnd, *sourceLength) : *sourceLength;
    if (audioEnd - info.AudioStart - info.InfoFrameLength < frameLength) {
        return Failure(WriteOutcome::NothingToWrite, "Source file " + Quoted(sourceName) +
                                                         " holds no whole frame. Nothing was "
                                                         "written.");
    }
    // Where every frame has one length, the count is known now; else the walk tells.
    if (info.FrameCountExact) {
        const std::int64_t wholeFrames = (audioEnd - info.AudioStart) / frameLength;
        const std::int64_t cutStart = std::max<std::int64_t>(plan.cutStartFrames, 0);
        const std::int64_t cutEnd = std::max<std::int64_t>(plan.cutEndFrames, 0);
        if (cutStart >= wholeFrames || cutEnd >= wholeFrames - cutStart) {
            return Failure(WriteOutcome::NothingToWrite, NothingLeftMessage(wholeFrames));
        }
    }
    {
        // Long double keeps absurd counts from overflowing before they are compared.
        const long double added =
            (static_cast<long double>(std::max<std::int64_t>(plan.addStartFrames, 0)) +
             static_cast<long double>(std::max<std::int64_t>(plan.addEndFrames, 0))) *
            static_cast<long double>(frameLength);
        const long double limit = std::max(static_cast<long double>(*sourceLength),
                                           static_cast<long double>(kAddLimitFloorBytes));
        if (added > limit) {
            const long double frames = added / static_cast<long double>(frameLength);
            return Failure(WriteOutcome::TooMuchToAdd,
                           "The delays would add " + WholeNumberText(frames) + " frames (" +
                               WholeNumberText(added) +
                               " bytes) to the target, more than the source holds or 256 MiB. "
                               "Nothing was written.");
        }
    }

    // Held until the report is saved too: the report belongs to this target.
    WriteLock lock;
    switch (lock.Acquire(place.path)) {
        case WriteLock::State::Held:
            break;
        case WriteLock::State::Busy:
            return Failure(WriteOutcome::TargetBusy,
                           "Target file " + Quoted(targetName) +
                               " is being written by another run of Velmora. Nothing was written.");
        case WriteLock::State::Failed:
            return Failure(WriteOutcome::WriteFailed,
                           FileFailure("Target", targetName, "created", lock.Reason()));
    }

    ReplacementFile target;
    CopyState copy;
    WriteResult result;
    {
        const BusyPointer busy(observer);
        if (!target.Create(place)) {
            return Failure(WriteOutcome::WriteFailed,
                           FileFailure("Target", targetName, "created", target.Reason()));
        }

        copy = CopyFrames(source, target.File(), *sourceLength, plan, info, request.fileType,
                          observer);
        source.Close();

        switch (copy.end) {
            case CopyEnd::ReadFailed:
                result = Failure(WriteOutcome::ReadFailed,
                                 FileFailure("Source", sourceName, "read", source.Reason()));
                break;
            case CopyEnd::WriteFailed:
                result =
                    Failure(WriteOutcome::WriteFailed,
                            FileFailure("Target", targetName, "written", target.File().Reason()));
                break;
            case CopyEnd::NothingLeft:
                result = Failure(WriteOutcome::NothingToWrite, NothingLeftMessage(std::nullopt));
                break;
            case CopyEnd::Cancelled:
                // Not committed: the unfinished file goes, whatever stood under the name stays.
                result = Failure(WriteOutcome::Cancelled, "The write was cancelled. Target file " +
                                                              Quoted(targetName) +
                                                              " was left as it was.");
                break;
            case CopyEnd::Damaged:
                result.outcome = WriteOutcome::SourceDamaged;
                break;
            case CopyEnd::Done:
                break;
        }
        // Only a good result takes the target's name; the frames before a damaged one are
        // good, but none at all would only replace the earlier target with an empty file.
        const bool keep = result.outcome == WriteOutcome::Complete ||
                          (result.outcome == WriteOutcome::SourceDamaged && copy.framesWritten > 0);
        // Some file systems report a failed write only when the file is closed.
        if (keep && !target.Commit()) {
            result = Failure(WriteOutcome::WriteFailed,
                             FileFailure("Target", targetName, "written", target.Reason()));
        }
        observer.ShowStatus("pending...");
    }
    result.framesWritten = copy.framesWritten;

    if (result.outcome == WriteOutcome::SourceDamaged) {
        result.message = "Source file damaged. ";
        result.message += copy.framesWritten > 0
                              ? "Target file " + Quoted(targetName) + " holds the " +
                                    std::to_string(copy.framesWritten) +
                                    " frames written before the damaged one."
                              : "No frame came before the damaged one, so target file " +
                                    Quoted(targetName) + " was not written.";
        return result;
    }
    if (result.outcome != WriteOutcome::Complete) {
        return result;
    }

    observer.SetProgressValue(0);
    AppendTargetInformation(observer, copy, info.FramesPerSecond);
    const ReportSave report = SaveReport(sourceName, targetName, observer.InfoText());
    if (!report.saved) {
        result.outcome = WriteOutcome::ReportFailed;
    }
    result.message = report.message;
    result.reportName = report.reportName;
    result.reportRenamed = report.renamed;
    return result;
}

}  // namespace velmora
