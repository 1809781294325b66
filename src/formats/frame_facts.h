// One description per format: what a frame's own header says about that frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora {

// What one correction unit's headers say: one frame, or for E-AC-3 and DTS-HD a frame with
// the dependent frames or extension substreams that belong to it and are only cut, added
// and counted with it.
struct FrameFacts {
    // The format's sync test passed.
    bool syncOk = false;
    // Bytes of this unit; 0 when the header gives no usable length. It may exceed the bytes
    // given when the unit's last part lies beyond them.
    std::int64_t length = 0;
    // Samples per channel in this frame and samples per second; 0 where unknown.
    std::int32_t samples = 0;
    std::int32_t samplingRate = 0;
    // The header fields that may not change inside one stream (sampling rate, layer,
    // version): frames with different keys do not belong to the same stream.
    std::uint32_t streamKey = 0;
    // The code that sets the bit rate (AC-3 frmsizecod / 2, E-AC-3 frmsiz, MPEG audio's
    // bitrate_index, DTS FSIZE): a stream whose units all share it has a constant rate.
    std::uint32_t rateCode = 0;
    // The mean unit length at this rate, where 44.1 kHz AC-3 and padded MPEG audio mix two
    // lengths: bit rate * samples / sampling rate / 8. The unit's own length elsewhere.
    double meanLength = 0.0;
    // Bytes of the unit after its first frame: E-AC-3 dependent frames and substreams,
    // DTS-HD extension substreams.
    std::int64_t extensionBytes = 0;

    bool operator==(const FrameFacts&) const = default;
};

// The unit that starts at bytes[0], for each format: `bytes` should hold everything
// available from there, since a unit ends only where the next one starts. Missing bytes
// read as 0.
// An AC-3 frame (bsid up to 10) or an independent E-AC-3 frame of substream 0, with the
// E-AC-3 frames that extend it (dependent frames and further independent substreams).
[[nodiscard]] FrameFacts Ac3UnitFacts(std::span<const std::uint8_t> bytes);
[[nodiscard]] FrameFacts MpegAudioFacts(std::span<const std::uint8_t> bytes);
// A DTS core frame and, in DTS-HD, the extension substreams that follow it.
[[nodiscard]] FrameFacts DtsUnitFacts(std::span<const std::uint8_t> bytes);
// An ADTS frame of AAC with all its raw data blocks.
[[nodiscard]] FrameFacts AacAdtsFacts(std::span<const std::uint8_t> bytes);

}  // namespace velmora
