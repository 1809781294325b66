// Builds an ADTS frame of AAC that decodes to digital silence, like a stream's own frame.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velmora {

// A frame with the header of `streamFrame` (an ADTS frame of the stream) and as many raw
// data blocks, each holding the channel configuration's elements with no scale-factor bands
// at all: nothing but zeros to decode. It carries no CRC word, whatever the stream does:
// the CRC would cover the elements, and a frame without one is as valid. None for channel
// configuration 0, whose elements a program config element in the stream lists.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> BuildSilentAacFrame(
    std::span<const std::uint8_t> streamFrame);

}  // namespace velmora
