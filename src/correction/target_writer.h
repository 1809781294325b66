// Writes the corrected copy of the source, frame by frame, and saves the report beside it.
#pragma once

#include <cstdint>
#include <string>

#include "formats/file_type.h"
#include "analysis/stream_info.h"
#include "correction/write_observer.h"

namespace velmora {

enum class WriteOutcome {
    Complete,        // target and report written
    NoUsableHeader,  // FrameLength 0 or less: nothing opened
    TargetIsSource,  // the target names the source file itself: nothing opened
    TooMuchToAdd,    // the delays would add an absurd amount of data: nothing opened
    NothingToWrite,  // no whole frame of the source would be in the target; no target left behind
    SourceDamaged,   // a frame failed its sync test; the frames before it stay in the target
    ReadFailed,      // the source could not be opened or read; no target left behind
    WriteFailed,     // the target could not be created or written; no target left behind
    ReportFailed,    // the target is complete but the report file could not be saved
};

struct WriteRequest {
    std::string sourceName;
    std::string targetName;
    FileType fileType = FileType::Ac3;
    // The delay boxes' texts, read as the plan reads them.
    std::string startDelayText;
    std::string endDelayText;
};

struct WriteResult {
    WriteOutcome outcome = WriteOutcome::Complete;
    // For every outcome but Complete and SourceDamaged: a sentence naming the file and the
    // reason, for a stop message.
    std::string message;
    // Where the report went (empty when none was written).
    std::string reportName;
    // The usual report name would have replaced the source or the target, so another was used.
    bool reportRenamed = false;
    std::int64_t framesWritten = 0;
};

[[nodiscard]] WriteResult WriteTarget(const WriteRequest& request, const StreamInfo& info,
                                      WriteObserver& observer);

}  // namespace velmora
