// What the writer's reader finds in the first units of a source before anything is written,
// so that the information shown before Write names damage there.
#pragma once

#include <string>

#include "analysis/stream_info.h"
#include "formats/file_type.h"

namespace velmora {

// Report lines for the damage in the first `units` units ("WARNING> Frame 3 at
// 00:00:00,064 (byte 4000) has a CRC error.\r\n"); empty for a sound start or a source that
// cannot be read (the write says why).
[[nodiscard]] std::string DamageNearTheStart(const std::string& sourceName, const StreamInfo& info,
                                             FileType fileType, int units = 64);

}  // namespace velmora
