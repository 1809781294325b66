// Writes the corrected copy of the source, frame by frame, and saves the report beside it.
#include "correction/target_writer.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>
#include <vector>

#include "analysis/report_text.h"
#include "correction/byte_file.h"
#include "correction/correction_plan.h"
#include "correction/frame_copy.h"

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

WriteResult Failure(WriteOutcome outcome, std::string message) {
    WriteResult result;
    result.outcome = outcome;
    result.message = std::move(message);
    return result;
}

// True when both names lead to one and the same existing file, however they are spelt:
// "./", "..", symbolic and hard links, or another letter case on a file system that ignores it.
bool SameExistingFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (!fs::exists(fs::path(a), error) || !fs::exists(fs::path(b), error)) {
        return false;
    }
    const bool same = fs::equivalent(fs::path(a), fs::path(b), error);
    if (!error) {
        return same;
    }
    // The system could not compare them; fall back on the resolved names rather than risk
    // writing over the source.
    std::error_code errorA;
    std::error_code errorB;
    const fs::path canonicalA = fs::weakly_canonical(fs::path(a), errorA);
    const fs::path canonicalB = fs::weakly_canonical(fs::path(b), errorB);
    return !errorA && !errorB && canonicalA == canonicalB;
}

// Removes a file the writer created but could not complete. Only a regular file goes (through
// a symbolic link, the file it leads to); a device such as /dev/full is left alone.
void RemoveIncompleteFile(const std::string& name) {
    std::error_code error;
    fs::path path(name);
    if (fs::is_symlink(fs::symlink_status(path, error))) {
        path = fs::canonical(path, error);
        if (error) {
            return;
        }
    }
    if (fs::is_regular_file(fs::symlink_status(path, error))) {
        fs::remove(path, error);
    }
}

// Switches the pointer to the busy shape for as long as it lives, whichever way the write ends.
class BusyPointer {
  public:
    explicit BusyPointer(WriteObserver& observer) : observer_(observer) {
        observer_.SetBusyPointer(true);
    }
    ~BusyPointer() { Release(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

    void Release() {
        if (busy_) {
            busy_ = false;
            observer_.SetBusyPointer(false);
        }
    }

  private:
    WriteObserver& observer_;
    bool busy_ = true;
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

// Saves the whole information text as the report. The usual name is refused when it is the
// source or the target itself; then the target's full name plus ".txt" is tried.
void SaveReport(const WriteRequest& request, WriteObserver& observer, WriteResult& result) {
    const std::string usual = ReportNameFor(request.targetName);
    auto clashes = [&](const std::string& name) {
        return name == request.sourceName || name == request.targetName ||
               SameExistingFile(name, request.sourceName) ||
               SameExistingFile(name, request.targetName);
    };
    std::string reportName = usual;
    if (clashes(reportName)) {
        reportName = request.targetName + ".txt";
        if (clashes(reportName)) {
            result.outcome = WriteOutcome::ReportFailed;
            result.message = "Report file " + Quoted(usual) +
                             " would replace the source or the target file; no report was saved.";
            return;
        }
        result.reportRenamed = true;
        result.message = "Report file " + Quoted(usual) +
                         " would replace the source or the target file; the report was saved as " +
                         Quoted(reportName) + ".";
    }

    OutputFile report;
    if (!report.Create(reportName)) {
        result.outcome = WriteOutcome::ReportFailed;
        result.message =
            "Report file " + Quoted(reportName) + " could not be created: " + report.Reason() + ".";
        return;
    }
    if (!report.Write(observer.InfoText()) || !report.Close()) {
        result.outcome = WriteOutcome::ReportFailed;
        result.message =
            "Report file " + Quoted(reportName) + " could not be written: " + report.Reason() + ".";
        static_cast<void>(report.Close());
        RemoveIncompleteFile(reportName);
        return;
    }
    result.reportName = reportName;
}

}  // namespace

std::string ReportNameFor(const std::string& targetName) {
    // The name loses its last four characters (normally the dot and a three-letter extension).
    // A file name of four characters or fewer keeps all of them, so that the report never
    // climbs into the folder part or ends up as a bare ".txt".
    const std::size_t folderEnd = targetName.find_last_of(
        std::string("/") + static_cast<char>(fs::path::preferred_separator));
    const std::size_t fileNameStart = folderEnd == std::string::npos ? 0 : folderEnd + 1;
    if (targetName.size() - fileNameStart <= 4) {
        return targetName + ".txt";
    }
    return targetName.substr(0, targetName.size() - 4) + ".txt";
}

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
            return Failure(WriteOutcome::ReadFailed, "Source file " + Quoted(request.sourceName) +
                                                         " could not be read: " + error.message() +
                                                         ".");
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

    BusyPointer busy(observer);
    InputFile source;
    if (!source.Open(request.sourceName)) {
        busy.Release();
        return Failure(WriteOutcome::ReadFailed, "Source file " + Quoted(request.sourceName) +
                                                     " could not be opened: " + source.Reason() +
                                                     ".");
    }
    const std::optional<std::int64_t> sourceLength = source.Length();
    if (!sourceLength) {
        source.Close();
        busy.Release();
        return Failure(WriteOutcome::ReadFailed, "Source file " + Quoted(request.sourceName) +
                                                     " could not be read: " + source.Reason() +
                                                     ".");
    }
    OutputFile target;
    if (!target.Create(request.targetName)) {
        source.Close();
        busy.Release();
        return Failure(WriteOutcome::WriteFailed, "Target file " + Quoted(request.targetName) +
                                                      " could not be created: " + target.Reason() +
                                                      ".");
    }

    const CopyState copy =
        CopyFrames(source, target, *sourceLength, plan, info, request.fileType, observer);

    WriteResult result;
    result.framesWritten = copy.framesWritten;
    if (copy.end == CopyEnd::ReadFailed) {
        result =
            Failure(WriteOutcome::ReadFailed, "Source file " + Quoted(request.sourceName) +
                                                  " could not be read: " + source.Reason() + ".");
    } else if (copy.end == CopyEnd::NothingLeft) {
        result = Failure(WriteOutcome::NothingToWrite,
                         copy.sourceFrames == 0 ? "Source file holds no whole frame. Nothing was written."
                                                : "The cuts remove the whole stream. Nothing was written.");
    } else if (copy.end == CopyEnd::WriteFailed) {
        result = Failure(WriteOutcome::WriteFailed,
                         "Target file " + Quoted(request.targetName) +
                             " could not be written: " + target.Reason() + ".");
    }
    source.Close();
    // Some file systems report a failed write only when the file is closed.
    if (!target.Close() && result.outcome == WriteOutcome::Complete) {
        result = Failure(WriteOutcome::WriteFailed,
                         "Target file " + Quoted(request.targetName) +
                             " could not be written: " + target.Reason() + ".");
    }
    observer.ShowStatus("pending...");
    busy.Release();

    if (result.outcome != WriteOutcome::Complete) {
        // A target that failed for want of data or space is useless and must not pass for a
        // finished one.
        RemoveIncompleteFile(request.targetName);
        result.framesWritten = copy.framesWritten;
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
    SaveReport(request, observer, result);
    return result;
}

}  // namespace velmora
