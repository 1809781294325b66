// What the analysis learnt about the source; the plan and the writer work from this alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct StreamInfo {
    // Bytes in the first audio frame, from its header. 0 means no usable frame length (or
    // a stream that cannot be timed); then Unusable may say why.
    std::int32_t FrameLength = 0;
    // kbit/s from the header; DTS uses -1, -2, -3 for open, variable and lossless streams.
    std::int32_t NominalBitRate = 0;
    // Frames per second (sampling rate over samples per frame), kept in single precision as
    // the reports show it.
    float FramesPerSecond = 0.0f;
    // One frame to insert at the start instead of a copy of the source's first frame.
    std::vector<std::uint8_t> SilentFrame;
    // SilentFrame holds a silent frame that matches this source.
    bool SilentFrameLoaded = false;
    // Silence was asked for, but none can be built for this stream: copies stand in for it.
    bool SilenceUnavailable = false;
    // Where the stream's frames come in two sizes one slot apart (44.1 kHz AC-3, MPEG audio
    // with padding): the longer silent frame, and the average frame length in bytes that
    // the stream keeps by mixing them. Empty and 0 when every frame has one size.
    std::vector<std::uint8_t> SilentFrameLong;
    double SilentFrameAverage = 0.0;

    // Samples per second and samples per channel in one frame, from the first audio frame.
    std::int32_t SamplingRate = 0;
    std::int32_t SamplesPerFrame = 0;
    // Where the frames lie in the file. Bytes before AudioStart (tags) are copied to the
    // start of the target as they are, except the last SkippedBytes of them (no audio, no
    // tag: junk before the first frame); bytes from AudioEnd on (tags) follow its last frame.
    std::int64_t AudioStart = 0;
    std::int64_t AudioEnd = 0;
    std::int64_t SkippedBytes = 0;
    // The stream's 16-bit words are stored with their bytes swapped; every frame here
    // (FirstUnit, SilentFrame) is in the usual order.
    bool ByteSwapped = false;
    // A first frame that carries no audio but the stream's counts (Xing, Info or VBRI): it
    // stays first, is not counted, and is brought up to date in the target. 0 when none.
    std::int32_t InfoFrameLength = 0;
    // The unit is one sample of every channel (PCM in WAVE), not a frame.
    bool SampleUnits = false;
    // AAC whose frames carry SBR data (HE-AAC): the decoder's output has twice the rate.
    bool Sbr = false;
    // Frames in the stream as far as the analysis can tell without reading them all, and
    // whether that is exact (every frame has FrameLength bytes).
    std::int64_t EstimatedFrames = 0;
    bool FrameCountExact = false;
    // Why the stream cannot be corrected, for a message; empty when it can.
    std::string Unusable;
    // The first audio frame (all of its unit: E-AC-3 dependent frames, a DTS-HD extension):
    // what a silent frame has to match.
    std::vector<std::uint8_t> FirstUnit;
};

}  // namespace velmora
