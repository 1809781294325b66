// The frame walk: copies the source's whole frames into the target, leaving out and adding
// frames as the correction plan says.
#pragma once

#include <cstdint>
#include <string>

#include "analysis/file_type.h"
#include "analysis/stream_info.h"
#include "correction/byte_file.h"
#include "correction/correction_plan.h"
#include "correction/write_observer.h"

namespace velmora {

// How the copy itself ended.
enum class CopyEnd {
    Done,
    Damaged,
    ReadFailed,
    WriteFailed,
    // The walk found that the cuts leave no frame of the source: nothing worth keeping was
    // written. For streams whose frame count is only known once they have been walked.
    NothingLeft,
};

struct CopyState {
    CopyEnd end = CopyEnd::Done;
    std::int64_t framesWritten = 0;
    std::string unitWord = "frame";
};

// The copy loop with the insertions at both ends. The files stay open; the caller closes them.
[[nodiscard]] CopyState CopyFrames(InputFile& source, OutputFile& target, std::int64_t sourceLength,
                                   const CorrectionPlan& plan, const StreamInfo& info,
                                   FileType fileType, WriteObserver& observer);

}  // namespace velmora
