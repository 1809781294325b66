// One description per format: what a frame's own header says about that frame.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/file_type.h"

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

    bool operator==(const FrameFacts&) const = default;
};

// Reads the unit that starts at bytes[0]; `bytes` should hold everything available from
// there, since a unit ends only where the next one starts. Missing bytes read as 0.
[[nodiscard]] FrameFacts ReadFrameFacts(FileType fileType, std::span<const std::uint8_t> bytes);

// ReadFrameFacts for a walk over one stream's frames, one after another. An MPEG audio
// frame's facts follow from its first three header bytes, and a stream repeats a handful of
// them (its bit rates, with and without padding), so they are decoded once and remembered:
// MP3 frames are short, and the walk asks for every one of them.
class FrameFactsReader {
  public:
    explicit FrameFactsReader(FileType fileType) : fileType_(fileType) {}

    [[nodiscard]] FrameFacts Read(std::span<const std::uint8_t> bytes);

  private:
    struct Remembered {
        bool used = false;
        std::uint32_t header = 0;  // the first three bytes
        FrameFacts facts;
    };

    FileType fileType_;
    std::array<Remembered, 256> remembered_{};  // by the third byte, which varies most
};

}  // namespace velmora
