// Reads the first frame header of a source and describes the stream.
#pragma once

#include <optional>
#include <string>

#include "analysis/stream_info.h"
#include "formats/file_type.h"

namespace velmora {

struct SourceAnalysis {
    // Cleared and filled afresh; SilentFrame is sized to FrameLength and left for the
    // silent-frame loader to fill.
    StreamInfo info;
    // The whole source information text with "\r\n" line ends. Empty optional when the
    // source does not exist: the window then keeps the text it shows.
    std::optional<std::string> report;
};

// The type comes from the caller (the name's extension), never from the content.
[[nodiscard]] SourceAnalysis AnalyseSource(const std::string& sourceName, FileType fileType);

}  // namespace velmora
