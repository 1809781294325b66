// A silent DTS core frame for a stream's own frame header.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velmora {

// The frame header of `core` (one DTS core frame) kept as it is, less its CRC words, time
// stamp, auxiliary data and extension flags, then a coding header for two subbands a
// channel with no bits allocated, no prediction, no vector-quantised and no joint subbands,
// zero LFE samples, and the frame's subframes, each ending in its DSYNC word: a decoder
// gives exact zeros. Empty for a termination frame, an LFE code of 3, or a block count that
// is no whole number of subsubframes.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> BuildSilentDtsFrame(
    std::span<const std::uint8_t> core);

}  // namespace velmora
