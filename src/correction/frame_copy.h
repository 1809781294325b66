// The frame walk: copies the source's whole frames into the target, leaving out and adding
// frames as the correction plan says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/stream_info.h"
#include "correction/correction_plan.h"
#include "correction/write_observer.h"
#include "formats/file_type.h"
#include "platform/files/byte_file.h"

namespace velmora {

// How the copy itself ended.
enum class CopyEnd {
    Done,
    Damaged,      // a frame failed its test; the frames before it are in the target
    ReadFailed,
    WriteFailed,
    NothingLeft,  // no frame of the source would be in the target
    Cancelled,    // the user stopped the write between two blocks
};

struct CopyState {
    CopyEnd end = CopyEnd::Done;
    // Frames in the target, added ones included (an info frame is not counted).
    std::int64_t framesWritten = 0;
    // Whole frames of the source that passed their test.
    std::int64_t sourceFrames = 0;
    // What was really done at each end; less than planned when the source is shorter.
    std::int64_t cutStartFrames = 0;
    std::int64_t addStartFrames = 0;
    std::int64_t cutEndFrames = 0;
    std::int64_t addEndFrames = 0;
    // Samples in the source frames walked (per channel), and for Damaged, where the damaged
    // frame starts in the source.
    std::int64_t sourceSamples = 0;
    // Bytes of the whole source frames that went to the target (not the repairs), and for
    // a format whose frames vary in length, their mean data rate (else 0).
    std::int64_t sourceBytes = 0;
    double averageKbps = 0.0;
    std::int64_t damagedAt = 0;
    // A piece after the last whole frame was too short for a frame and was left out.
    bool shortLastFrame = false;
    std::string unitWord = "frame";
    // What one unit is in every other count: a frame, or for PCM one sample.
    std::string unit = "frame";
    // The format's own lines about the target (chunks moved, a new form), before the rate.
    std::string formatLines;
    // Silence was asked for at the start, and copies of the first frame stand in for it.
    bool copiesForSilence = false;
    // Frames copied as they are although their check words fail (a plain run), or repairs
    // (a repairing run): how many, and the report lines of the first kMostDamageLines.
    std::int64_t crcErrors = 0;
    std::int64_t repairs = 0;
    std::vector<std::string> damageLines;
    // What the repairs did: silent units put in, junk bytes left out, and whether junk in a
    // stream of varying rate cost time that could not be known.
    std::int64_t silentUnitsPut = 0;
    std::int64_t junkBytes = 0;
    std::int64_t extensionsLeftOut = 0;
    bool timeLost = false;
};

inline constexpr std::size_t kMostDamageLines = 100;

// The copy loop with the insertions at both ends. Every frame's length comes from its own
// header, and every frame passes its format's test before it is written. The files stay
// open; the caller closes them.
// With `repair`, damaged units are replaced by silence and junk is left out, keeping the time
// (see FrameReader).
[[nodiscard]] CopyState CopyFrames(InputFile& source, OutputFile& target, std::int64_t sourceLength,
                                   const CorrectionPlan& plan, const StreamInfo& info,
                                   FileType fileType, bool repair, WriteObserver& observer);

}  // namespace velmora
