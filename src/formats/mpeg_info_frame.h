// The Xing/Info and VBRI frames that encoders put first in an MPEG audio stream: a frame
// without audio that tells players the stream's frame and byte counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "formats/mpeg_audio_frame.h"

namespace velmora {

struct MpegInfoTag {
    enum class Kind { Xing, Vbri };
    Kind kind = Kind::Xing;
    // Where "Xing", "Info" or "VBRI" starts inside the frame.
    std::size_t offset = 0;
};

// The tag inside `frame` (one whole frame whose header is `header`), if it is an info frame.
[[nodiscard]] std::optional<MpegInfoTag> FindMpegInfoTag(std::span<const std::uint8_t> frame,
                                                         const MpegAudioHeader& header);

// What the corrected stream holds, for the rewrite of its info frame.
struct MpegInfoCounts {
    std::uint32_t audioFrames = 0;  // frames after the info frame
    std::uint32_t streamBytes = 0;  // the info frame and every frame after it
    bool endPaddingGone = false;    // the last frame, whose tail was encoder padding, was cut
};

// Rewrites the counts so that players do not trust stale ones: frame and byte counts, the
// seek table (dropped: its positions no longer hold), and in an encoder tag the music
// length, the end padding when the padded frame was cut, and the tag's own CRC.
void UpdateMpegInfoTag(std::span<std::uint8_t> frame, const MpegInfoTag& tag,
                       const MpegInfoCounts& counts);

// CRC-16 with the polynomial 0x8005 in its reflected form and start value 0, the check of
// an encoder tag.
[[nodiscard]] std::uint16_t Crc16Reflected(std::span<const std::uint8_t> bytes);

}  // namespace velmora
