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

// The test of a frame's first bytes, by stream type. DTS frames are copied without a test.
bool PassesSyncTest(FileType fileType, const std::uint8_t* frame, std::size_t frameBytes) {
    switch (fileType) {
        case FileType::MpegAudio:
            return frameBytes >= 1 && frame[0] == 0xFF;
        case FileType::Dts:
            return true;
        case FileType::Ac3:
        default:
            // Any other type code is treated as AC-3, as the file names are.
            return frameBytes >= 2 && frame[0] == 0x0B && frame[1] == 0x77;
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

void AppendTargetInformation(WriteObserver& observer, const CorrectionPlan& plan,
                             const std::string& startUnitWord, std::int64_t framesWritten,
                             bool shortLastFrame, float fps) {
    observer.AppendInfo("\r\nTarget file information:\r\n\r\n");
    if (plan.cutStartFrames >= 1) {
        observer.AppendInfo(CountLine(plan.cutStartFrames, "frame", "cut at start", fps));
    }
    if (plan.addStartFrames >= 1) {
        observer.AppendInfo(CountLine(plan.addStartFrames, startUnitWord, "added at start", fps));
    }
    if (plan.cutEndFrames >= 1) {
        observer.AppendInfo(CountLine(plan.cutEndFrames, "frame", "cut at end", fps));
    }
    if (plan.addEndFrames >= 1) {
        observer.AppendInfo(CountLine(plan.addEndFrames, "frame", "added at end", fps));
    }
    // The count really written, always in the plural.
    observer.AppendInfo(std::to_string(framesWritten) + " frames (" +
                        FramesToTime(framesWritten, fps) + ") have been written.\r\n");
    if (shortLastFrame) {
        observer.AppendInfo("Last frame was too short. Ignored.\r\n");
    }
    observer.AppendInfo(FrameRateSentence(fps));
}

// How the copy itself ended.
enum class CopyEnd { Done, Damaged, ReadFailed, WriteFailed };

// Source and target are moved in blocks of whole frames of about this size. Measured on a
// 600 MB stream: smaller blocks pay more per call, larger ones lose the processor's cache, and
// both are slower than a plain file copy by more than this size is.
constexpr std::int64_t kBlockBytes = std::int64_t{512} << 10;

// The target side of the copy: writes runs of whole frames and counts them.
class FrameSink {
  public:
    FrameSink(OutputFile& target, std::size_t frameBytes, std::int64_t blockFrames)
        : target_(target), frameBytes_(frameBytes), blockFrames_(blockFrames) {}

    [[nodiscard]] bool WriteFrames(const std::uint8_t* frames, std::int64_t count) {
        if (count <= 0) {
            return true;
        }
        if (!target_.Write(frames, static_cast<std::size_t>(count) * frameBytes_)) {
            return false;
        }
        framesWritten_ += count;
        return true;
    }

    // `count` copies of one frame, gathered into blocks so that the disk sees large writes.
    [[nodiscard]] bool WriteCopies(const std::uint8_t* frame, std::int64_t count) {
        if (count <= 0) {
            return true;
        }
        const std::int64_t perBlock = std::min(count, blockFrames_);
        copies_.resize(static_cast<std::size_t>(perBlock) * frameBytes_);
        for (std::int64_t n = 0; n < perBlock; ++n) {
            std::copy(frame, frame + frameBytes_,
                      copies_.begin() + static_cast<std::ptrdiff_t>(n * frameBytes_));
        }
        for (std::int64_t left = count; left > 0; left -= perBlock) {
            if (!WriteFrames(copies_.data(), std::min(left, perBlock))) {
                return false;
            }
        }
        return true;
    }

    [[nodiscard]] std::int64_t FramesWritten() const { return framesWritten_; }

  private:
    OutputFile& target_;
    std::size_t frameBytes_;
    std::int64_t blockFrames_;
    std::int64_t framesWritten_ = 0;
    std::vector<std::uint8_t> copies_;
};

struct CopyState {
    CopyEnd end = CopyEnd::Done;
    std::int64_t framesWritten = 0;
    std::string unitWord = "frame";
};

// The copy loop with the insertions at both ends. The files stay open; the caller closes them.
//
// The source is read a block of whole frames at a time and each block's frames are tested and
// written in order, so the target holds exactly what a frame-by-frame copy would: a frame is
// written only after its test passed, and after a damaged frame exactly the frames before it
// are in the target.
CopyState CopyFrames(InputFile& source, OutputFile& target, std::int64_t sourceLength,
                     const CorrectionPlan& plan, const StreamInfo& info, FileType fileType,
                     WriteObserver& observer) {
    CopyState state;
    const std::int64_t frameLength = info.FrameLength;
    const auto frameBytes = static_cast<std::size_t>(frameLength);
    const std::int64_t blockFrames = std::max<std::int64_t>(1, kBlockBytes / frameLength);
    // A silent frame is only usable when it holds a whole frame.
    const bool useSilentFrame = info.SilentFrameLoaded && info.SilentFrame.size() >= frameBytes;

    const std::int64_t wholeFrames = sourceLength / frameLength;
    const std::int64_t copyEnd = wholeFrames - std::max<std::int64_t>(plan.cutEndFrames, 0);
    observer.SetProgressMaximum(std::max<std::int64_t>(copyEnd, 0) * frameLength);

    FrameSink sink(target, frameBytes, blockFrames);
    // The frame last read from the source; zeros until one is read.
    std::vector<std::uint8_t> frameBuffer(frameBytes, 0);
    std::vector<std::uint8_t> block;
    bool startInsertionPending = plan.addStartFrames > 0;
    bool writingShown = false;
    auto finish = [&](CopyEnd end) {
        state.end = end;
        state.framesWritten = sink.FramesWritten();
        return state;
    };

    for (std::int64_t first = 0; first < copyEnd;) {
        const std::int64_t wanted = std::min(blockFrames, copyEnd - first);
        block.resize(static_cast<std::size_t>(wanted) * frameBytes);
        const std::size_t got = source.Read(block.data(), block.size());
        // Whole frames that did arrive are handled as usual before a short read counts.
        const auto arrived = static_cast<std::int64_t>(got / frameBytes);
        // Start of the run of frames in this block that go to the target unchanged.
        std::int64_t runBegin = -1;
        for (std::int64_t k = 0; k < arrived; ++k) {
            const std::int64_t i = first + k;
            const std::uint8_t* frame = block.data() + static_cast<std::size_t>(k) * frameBytes;
            observer.SetProgressValue(i * frameLength);
            if (!PassesSyncTest(fileType, frame, frameBytes)) {
                const bool written =
                    runBegin < 0 ||
                    sink.WriteFrames(block.data() + runBegin * frameLength, k - runBegin);
                return finish(written ? CopyEnd::Damaged : CopyEnd::WriteFailed);
            }
            if (startInsertionPending) {
                // Only ever at frame 0, so no run is waiting yet.
                startInsertionPending = false;
                if (useSilentFrame) {
                    state.unitWord = "silent frame";
                }
                observer.ShowStatus("Adding " + std::to_string(plan.addStartFrames) + " " +
                                    state.unitWord + "s.");
                if (!sink.WriteCopies(useSilentFrame ? info.SilentFrame.data() : frame,
                                      plan.addStartFrames)) {
                    return finish(CopyEnd::WriteFailed);
                }
            }
            if (i >= plan.cutStartFrames) {
                if (!writingShown) {
                    writingShown = true;
                    observer.ShowStatus("Writing...");
                }
                if (runBegin < 0) {
                    runBegin = k;
                }
            }
        }
        if (runBegin >= 0 &&
            !sink.WriteFrames(block.data() + runBegin * frameLength, arrived - runBegin)) {
            return finish(CopyEnd::WriteFailed);
        }
        if (arrived < wanted) {
            return finish(CopyEnd::ReadFailed);
        }
        std::copy(block.end() - static_cast<std::ptrdiff_t>(frameBytes), block.end(),
                  frameBuffer.begin());
        first += wanted;
    }

    // Frames added at the end repeat the last frame read (zeros when none was read); the
    // silent frame belongs to the start only.
    if (plan.addEndFrames > 0) {
        observer.ShowStatus("Adding " + std::to_string(plan.addEndFrames) + " frames at end.");
        if (!sink.WriteCopies(frameBuffer.data(), plan.addEndFrames)) {
            return finish(CopyEnd::WriteFailed);
        }
    }
    return finish(CopyEnd::Done);
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
        return Failure(WriteOutcome::NoUsableHeader, "Source file has no usable frame header.");
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
    AppendTargetInformation(observer, plan, copy.unitWord, copy.framesWritten,
                            *sourceLength % frameLength > 0, info.FramesPerSecond);
    SaveReport(request, observer, result);
    return result;
}

}  // namespace velmora
