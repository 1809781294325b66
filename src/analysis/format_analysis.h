// Each format's look at a source: it fills the stream description and returns the report's
// lines between the heading and any reason the stream cannot be corrected.
#pragma once

#include <string>

#include "analysis/source_reader.h"
#include "analysis/stream_info.h"

namespace velmora {

[[nodiscard]] std::string AnalyseAc3(SourceReader& source, StreamInfo& info);
[[nodiscard]] std::string AnalyseDts(SourceReader& source, StreamInfo& info);
// Tags are not frames: the frames start after any ID3v2 tags and end before ID3v1 and
// APEv2 tags; the writer copies the tags as they are.
[[nodiscard]] std::string AnalyseMpegAudio(SourceReader& source, StreamInfo& info);
// ADTS frames vary in length: the first ones give a mean, and the counts are estimates.
[[nodiscard]] std::string AnalyseAac(SourceReader& source, StreamInfo& info);
// WAVE files have no frames: the unit is one sample, and the chunks say where they lie.
[[nodiscard]] std::string AnalyseWav(SourceReader& source, StreamInfo& info);

}  // namespace velmora
