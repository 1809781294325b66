// Where a source's frames lie: after the tags and whatever else stands before the first
// frame, before the tags at the end, and in which byte order.
#pragma once

#include <cstdint>

#include "analysis/source_reader.h"
#include "formats/format_table.h"

namespace velmora {

struct FramePlace {
    // Tags in front and the zero padding right after them: copied to the target as they are.
    std::int64_t tagBytes = 0;
    // The first frame; the bytes from tagBytes up to it are no audio and are left out.
    std::int64_t start = 0;
    // Where the tags at the end begin.
    std::int64_t end = 0;
    // The stream's 16-bit words have their bytes swapped.
    bool byteSwapped = false;
};

// Finds the first frame as a player does: within 64 KiB after the tags, the first header
// whose length leads to further headers of the same stream (up to three), or to the end.
// Where none does, the frames are taken to start right after the tags, so that the analysis
// tells what stands there. A byte-swapped stream leaves `source` reading it swapped.
[[nodiscard]] FramePlace FindFrames(SourceReader& source, const FormatRow& format);

}  // namespace velmora
