// Writes the corrected copy of the source, frame by frame, and saves the report beside it.
#include "correction/target_writer.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>

#include "correction/correction_plan.h"
#include "correction/frame_copy.h"
#include "correction/report_file.h"
#include "correction/wav_copy.h"
#include "formats/format_table.h"
#include "platform/files/byte_file.h"
#include "platform/files/file_safety.h"
#include "report/report_text.h"
#include "report/target_lines.h"

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

constexpr const char* kNothingChanged = " Target file and report were left as they were.";

// Where a frame starts in the source, as a time and a byte position.
std::string SourcePosition(const CopyState& copy, const StreamInfo& info) {
    const std::string time =
        info.SamplingRate > 0 && copy.sourceSamples > 0
            ? FramesToTime(copy.sourceSamples, static_cast<float>(info.SamplingRate))
            : FramesToTime(copy.sourceFrames, info.FramesPerSecond);
    return time + " (byte " + std::to_string(copy.damagedAt) + ")";
}

// A damaged source ends the write. A target that stood before is left alone: the frames
// before the damage are no better than it. Where none stood, they are kept, without a report,
// so that the work done is not lost.
std::string DamagedSource(ReplacementFile& target, const TargetPlace& place,
                          const FileIdentity& source, const CopyState& copy,
                          const StreamInfo& info, const std::string& targetName) {
    const std::string at = SourcePosition(copy, info);
    std::string message = "Source file damaged. ";
    if (place.kind == TargetPlace::Kind::Missing && copy.framesWritten > 0 && target.Close()) {
        const NamesChanging changing;
        if (target.Commit(source, false) == ReplacementFile::Committed::Done) {
            target.Settle();
            return message + "Target file " + Quoted(targetName) + " holds the " +
                   std::to_string(copy.framesWritten) +
                   " frames written before the damaged one at " + at + ".";
        }
    }
    return message + "The damaged frame starts at " + at + ". Target file " + Quoted(targetName) +
           " was left as it was.";
}

// The target and the report take their names as a pair: when the report cannot follow the
// target, the target gives its name back, so the earlier pair stands.
WriteResult CommitPair(ReplacementFile& target, ReplacementFile& report,
                       const ReportPlace& reportPlace, const FileIdentity& source,
                       const std::string& targetName) {
    const NamesChanging changing;
    switch (target.Commit(source, true)) {
        case ReplacementFile::Committed::Done:
            break;
        case ReplacementFile::Committed::IsProtected:
            return Failure(WriteOutcome::TargetIsSource,
                           "Target file " + Quoted(targetName) + " is the source file.");
        case ReplacementFile::Committed::Failed:
            return Failure(WriteOutcome::WriteFailed,
                           FileFailure("Target", targetName, "written", target.Reason()));
    }
    const bool replacing = reportPlace.place.kind == TargetPlace::Kind::Regular;
    if (report.Commit(source, replacing) != ReplacementFile::Committed::Done) {
        std::string message =
            FileFailure("Report", reportPlace.place.path, "saved", report.Reason());
        message += target.Undo() ? kNothingChanged
                                 : " Target file " + Quoted(targetName) +
                                       " was written, but the earlier one could not be put back: " +
                                       target.Reason() + ".";
        return Failure(WriteOutcome::ReportFailed, message);
    }
    target.Settle();
    report.Settle();
    WriteResult result;
    result.message = reportPlace.renamed ? reportPlace.message : std::string();
    result.reportName = reportPlace.place.path;
    result.reportRenamed = reportPlace.renamed;
    return result;
}

// What the checks made before anything is created found out.
struct Checked {
    std::int64_t sourceLength = 0;
    FileIdentity sourceIdentity;
    TargetPlace place;
    ReportPlace reportPlace;
};

// The source is opened first: its own reason (a folder, a pipe, no permission) says more
// than the analysis' finding that it holds no frame header.
std::optional<WriteResult> CheckSource(InputFile& source, const std::string& sourceName,
                                       const StreamInfo& info, Checked& checked) {
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
    const std::optional<std::int64_t> length = source.Length();
    const std::optional<FileIdentity> identity = source.Identity();
    if (!length || !identity) {
        return Failure(WriteOutcome::ReadFailed,
                       FileFailure("Source", sourceName, "read", source.Reason()));
    }
    checked.sourceLength = *length;
    checked.sourceIdentity = *identity;
    return std::nullopt;
}

// Looked up with the source open, so that a name for the open source itself (/dev/fd/3,
// /proc/self/fd/3) leads to it and is refused like any other spelling of it.
std::optional<WriteResult> CheckTarget(const std::string& targetName, Checked& checked) {
    checked.place = LookUpTarget(targetName);
    const TargetPlace& place = checked.place;
    switch (place.kind) {
        case TargetPlace::Kind::Unreachable:
            return Failure(WriteOutcome::WriteFailed,
                           FileFailure("Target", targetName, "created", place.reason));
        case TargetPlace::Kind::NotRegular:
            // Opening a pipe would wait for ever, and a device or a folder is no target.
            return Failure(WriteOutcome::WriteFailed,
                           "Target file " + Quoted(targetName) + " is not a regular file.");
        case TargetPlace::Kind::Regular:
            if (place.identity == checked.sourceIdentity) {
                return Failure(WriteOutcome::TargetIsSource,
                               "Target file " + Quoted(targetName) + " is the source file.");
            }
            break;
        case TargetPlace::Kind::Missing:
            break;
    }
    return std::nullopt;
}

// A plan that would leave no frame, or add more than a mistyped delay should.
std::optional<WriteResult> CheckPlan(const CorrectionPlan& plan, const StreamInfo& info,
                                     std::int64_t sourceLength, const std::string& sourceName) {
    const std::int64_t frameLength = info.FrameLength;
    const std::int64_t audioEnd =
        info.AudioEnd > 0 ? std::min(info.AudioEnd, sourceLength) : sourceLength;
    if (audioEnd - info.AudioStart - info.InfoFrameLength < frameLength) {
        return Failure(WriteOutcome::NothingToWrite,
                       "Source file " + Quoted(sourceName) +
                           " holds no whole frame. Nothing was written.");
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
    // Long double keeps absurd counts from overflowing before they are compared.
    const long double added =
        (static_cast<long double>(std::max<std::int64_t>(plan.addStartFrames, 0)) +
         static_cast<long double>(std::max<std::int64_t>(plan.addEndFrames, 0))) *
        static_cast<long double>(frameLength);
    const long double limit = std::max(static_cast<long double>(sourceLength),
                                       static_cast<long double>(kAddLimitFloorBytes));
    if (added > limit) {
        const long double frames = added / static_cast<long double>(frameLength);
        return Failure(WriteOutcome::TooMuchToAdd,
                       "The delays would add " + WholeNumberText(frames) + " frames (" +
                           WholeNumberText(added) +
                           " bytes) to the target, more than the source holds or 256 MiB. "
                           "Nothing was written.");
    }
    return std::nullopt;
}

// Everything that can be known is decided before anything is made: where the report goes,
// and whether the system will let the names be replaced at all.
std::optional<WriteResult> CheckReplaceable(const std::string& targetName, Checked& checked) {
    if (const std::string why = WhyNotReplaceable(checked.place); !why.empty()) {
        return Failure(WriteOutcome::WriteFailed,
                       FileFailure("Target", targetName, "replaced", why));
    }
    checked.reportPlace = ChooseReportPlace(checked.place, checked.sourceIdentity);
    if (!checked.reportPlace.usable) {
        return Failure(WriteOutcome::ReportFailed, checked.reportPlace.message);
    }
    return std::nullopt;
}

std::optional<WriteResult> Lock(WriteLock& lock, const TargetPlace& place,
                                const std::string& targetName) {
    switch (lock.Acquire(place)) {
        case WriteLock::State::Held:
            return std::nullopt;
        case WriteLock::State::Busy:
            return Failure(WriteOutcome::TargetBusy,
                           "Target file " + Quoted(targetName) +
                               " is being written by another run of Velmora. Nothing was written.");
        case WriteLock::State::Failed:
            break;
    }
    return Failure(WriteOutcome::WriteFailed,
                   FileFailure("Target", targetName, "created", lock.Reason()));
}

// What became of the target after the frame walk, as the run's result.
WriteResult CopyOutcome(const CopyState& copy, ReplacementFile& target, const InputFile& source,
                        const Checked& checked, const WriteRequest& request,
                        const StreamInfo& info) {
    const std::string& targetName = request.targetName;
    switch (copy.end) {
        case CopyEnd::ReadFailed:
            return Failure(WriteOutcome::ReadFailed,
                           FileFailure("Source", request.sourceName, "read", source.Reason()));
        case CopyEnd::WriteFailed:
            return Failure(WriteOutcome::WriteFailed,
                           FileFailure("Target", targetName, "written", target.File().Reason()));
        case CopyEnd::NothingLeft:
            return Failure(WriteOutcome::NothingToWrite, NothingLeftMessage(std::nullopt));
        case CopyEnd::Cancelled:
            // Not committed: the unfinished file goes, whatever stood under the name stays.
            return Failure(WriteOutcome::Cancelled, "The write was cancelled. Target file " +
                                                        Quoted(targetName) +
                                                        " was left as it was.");
        case CopyEnd::Damaged:
            return Failure(WriteOutcome::SourceDamaged,
                           DamagedSource(target, checked.place, checked.sourceIdentity, copy,
                                         info, targetName));
        case CopyEnd::Done:
            break;
    }
    // Some file systems report a failed write only when the file is closed.
    if (!target.Close()) {
        return Failure(WriteOutcome::WriteFailed,
                       FileFailure("Target", targetName, "written", target.Reason()));
    }
    return WriteResult{};
}

// Creates the unfinished target and walks the frames into it.
WriteResult CopyIntoTarget(ReplacementFile& target, InputFile& source, const Checked& checked,
                           const WriteRequest& request, const CorrectionPlan& plan,
                           const StreamInfo& info, WriteObserver& observer, CopyState& copy) {
    const BusyPointer busy(observer);
    if (!target.Create(checked.place)) {
        return Failure(WriteOutcome::WriteFailed,
                       FileFailure("Target", request.targetName, "created", target.Reason()));
    }
    copy = FormatOf(request.fileType).unit == FormatUnit::Sample
               ? CopySamples(source, target.File(), checked.sourceLength, plan, info, observer)
               : CopyFrames(source, target.File(), checked.sourceLength, plan, info,
                            request.fileType, request.repair, observer);
    source.Close();
    WriteResult result = CopyOutcome(copy, target, source, checked, request, info);
    observer.ShowStatus("pending...");
    return result;
}

// The report is written in full, and shown where the run promised it, before any name
// changes: a report that cannot be delivered fails the run, and a failed run leaves every
// name as it was.
WriteResult FinishReport(ReplacementFile& target, const Checked& checked,
                         const std::string& targetName, const CopyState& copy,
                         const StreamInfo& info, WriteObserver& observer) {
    observer.SetProgressValue(0);
    observer.AppendInfo(TargetInformation(copy, info.FramesPerSecond));
    const std::string reportText = observer.InfoText();
    const std::string& reportName = checked.reportPlace.place.path;
    ReplacementFile report;
    if (!report.Create(checked.reportPlace.place)) {
        return Failure(WriteOutcome::ReportFailed,
                       FileFailure("Report", reportName, "created", report.Reason()) +
                           kNothingChanged);
    }
    if (!report.File().Write(reportText) || !report.Close()) {
        const std::string reason =
            report.File().Reason().empty() ? report.Reason() : report.File().Reason();
        return Failure(WriteOutcome::ReportFailed,
                       FileFailure("Report", reportName, "written", reason) + kNothingChanged);
    }
    if (!observer.PublishReport(reportText)) {
        return Failure(WriteOutcome::ReportFailed, "");
    }
    WriteResult committed =
        CommitPair(target, report, checked.reportPlace, checked.sourceIdentity, targetName);
    committed.framesWritten = copy.framesWritten;
    return committed;
}

}  // namespace

WriteResult WriteTarget(const WriteRequest& request, const StreamInfo& info,
                        WriteObserver& observer) {
    observer.ProcessPendingEvents();
    const PlannedCorrection planned =
        MakeCorrectionPlan(request.startDelayMs, request.endDelayMs, info);
    if (!planned.lines.empty()) {
        observer.AppendInfo(planned.lines);
    }
    // Refusals come before anything is created, so neither the target nor its report is
    // touched.
    InputFile source;
    Checked checked;
    std::optional<WriteResult> refused = CheckSource(source, request.sourceName, info, checked);
    if (!refused) {
        refused = CheckTarget(request.targetName, checked);
    }
    if (!refused) {
        refused = CheckPlan(planned.plan, info, checked.sourceLength, request.sourceName);
    }
    if (!refused) {
        refused = CheckReplaceable(request.targetName, checked);
    }
    // Held until the report has its name too: the report belongs to this target.
    WriteLock lock;
    if (!refused) {
        refused = Lock(lock, checked.place, request.targetName);
    }
    if (refused) {
        return *refused;
    }
    ReplacementFile target;
    CopyState copy;
    WriteResult copied =
        CopyIntoTarget(target, source, checked, request, planned.plan, info, observer, copy);
    copied.framesWritten = copy.framesWritten;
    if (copied.outcome != WriteOutcome::Complete) {
        return copied;
    }
    return FinishReport(target, checked, request.targetName, copy, info, observer);
}

}  // namespace velmora
