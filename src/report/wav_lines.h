// The report lines of a WAVE source and of what its correction did to the chunks.
#pragma once

#include <string>

#include "formats/wav_chunk_edits.h"
#include "formats/wav_file.h"

namespace velmora {

// From "Format: PCM, 24 bit, 6 channels\r\n" to the length in samples.
[[nodiscard]] std::string WavReport(const WavLayout& layout);

// What became of the chunks that count in samples, and of the file's form.
[[nodiscard]] std::string WavTargetLines(const ChunkEdits& edits, bool writtenAsRf64,
                                         bool wasRf64);

}  // namespace velmora
