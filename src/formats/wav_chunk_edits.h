// The chunks of a WAVE file that count in samples, moved with its samples: cue points and
// their labels, sampler loops, the broadcast extension's and iXML's time reference.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace velmora {

struct SampleShift {
    // Samples added at the start less those cut there; positions move by this much.
    std::int64_t atStart = 0;
    // Samples in the target, and per second, for a time of day that wraps at midnight.
    std::int64_t length = 0;
    std::int32_t samplingRate = 0;
};

// What the edits did, for the report.
struct ChunkEdits {
    std::set<std::uint32_t> droppedCues;  // cue point names that fell outside the target
    std::int64_t cuesMoved = 0;
    std::int64_t loopsDropped = 0;
    bool timeReferenceMoved = false;
    // A bext of version 2 or later with loudness values: they describe the source's audio.
    bool sourceLoudness = false;
};

// `cue `: positions moved; points outside the target dropped (their names noted).
[[nodiscard]] std::vector<std::uint8_t> MoveCuePoints(std::vector<std::uint8_t> body,
                                                      const SampleShift& shift,
                                                      ChunkEdits& edits);
// `LIST` of type `adtl`: the labels, notes and texts of dropped cue points go with them.
[[nodiscard]] std::vector<std::uint8_t> DropCueLabels(const std::vector<std::uint8_t>& body,
                                                      const ChunkEdits& edits);
// `smpl`: loops moved, those outside the target dropped.
[[nodiscard]] std::vector<std::uint8_t> MoveSamplerLoops(std::vector<std::uint8_t> body,
                                                         const SampleShift& shift,
                                                         ChunkEdits& edits);
// `bext`: the first sample's count since midnight gains the samples cut and loses those added.
[[nodiscard]] std::vector<std::uint8_t> MoveBextTime(std::vector<std::uint8_t> body,
                                                     const SampleShift& shift, ChunkEdits& edits);
// `iXML`: its BWF time reference, the same way.
[[nodiscard]] std::vector<std::uint8_t> MoveIxmlTime(const std::vector<std::uint8_t>& body,
                                                     const SampleShift& shift,
                                                     ChunkEdits& edits);

}  // namespace velmora
