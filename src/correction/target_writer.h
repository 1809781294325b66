// Writes the corrected copy of the source, frame by frame, and saves the report beside it.
#pragma once

#include <cstdint>
#include <string>

#include "analysis/stream_info.h"
#include "correction/write_observer.h"
#include "formats/file_type.h"

namespace velmora {

enum class WriteOutcome {
    Complete,        // target and report written
    NoUsableHeader,  // FrameLength 0 or less: nothing opened
    TargetIsSource,  // the target names the source file itself: nothing opened
    TooMuchToAdd,    // the delays would add an absurd amount of data: nothing opened
    NothingToWrite,  // no whole frame, or the cuts remove them all: nothing written
    TargetBusy,      // another run is writing the same target: nothing written
    SourceDamaged,   // a frame failed its sync test; the frames before it became the target
    ReadFailed,      // the source could not be opened or read; the old target stands
    WriteFailed,     // the target could not be created or written, or is no regular file;
                     // the old target stands
    ReportFailed,    // the target is complete but the report file could not be saved
    Cancelled,       // the user stopped the write: the old target stands, no report
};

struct WriteRequest {
    std::string sourceName;
    std::string targetName;
    FileType fileType = FileType::Ac3;
    // The delays in whole milliseconds, read from the delay boxes where they were typed.
    std::int32_t startDelayMs = 0;
    std::int32_t endDelayMs = 0;
    // Damaged frames become silence and junk is left out, keeping the time, instead of
    // ending the write.
    bool repair = false;
};

struct WriteResult {
    WriteOutcome outcome = WriteOutcome::Complete;
    // For every outcome but Complete: a sentence naming the file and the reason, for a stop
    // message (for SourceDamaged, what became of the target). For Complete, empty unless the
    // report went under another name, which it then explains.
    std::string message;
    // Where the report went (empty when none was written).
    std::string reportName;
    // The usual report name was not free for the report, so another was used.
    bool reportRenamed = false;
    std::int64_t framesWritten = 0;
};

// Nothing appears under the target's or the report's name until it is complete: each is
// written under a temporary name beside it and renamed into place, so a failure, a full disk
// or a signal leaves the earlier files exactly as they were.
[[nodiscard]] WriteResult WriteTarget(const WriteRequest& request, const StreamInfo& info,
                                      WriteObserver& observer);

}  // namespace velmora
