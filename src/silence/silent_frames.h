// Silent frames for padding the start of a stream with true silence: three stored AC-3
// frames, and frames built to match any other AC-3, E-AC-3, DTS, MPEG audio or AAC stream.
#pragma once

#include <array>
#include <cstdint>

#include "analysis/stream_info.h"
#include "formats/file_type.h"

namespace velmora {

// Three complete 48 kHz AC-3 sync frames, back to back: A (192 kbit/s, 2/0) at 0-767,
// B (384 kbit/s, 3/2 + LFE) at 768-2303, C (448 kbit/s, 3/2 + LFE) at 2304-4095. Made at
// build time by tools/generate_silent_frames from its parameters.
extern const std::array<std::uint8_t, 4096> SilentFrameTemplates;

// When the check box value is 1, fills info.SilentFrame with a silent frame that matches the
// source's first frame (info.FirstUnit): a stored template for the streams they were
// made for, else one built for the stream's own rate, size and layout.
// Always clears SilentFrameLoaded (and the longer frame of a pair) first.
void LoadSilentFrame(StreamInfo& info, FileType fileType, int addSilentValue);

// Each format's silent unit for info.FirstUnit (SilentFrame, and SilentFrameLong with
// SilentFrameAverage for streams of two frame sizes); false when the stream's syntax is
// beyond the builder.
bool LoadAc3Silence(StreamInfo& info);
bool LoadMpegAudioSilence(StreamInfo& info);
// DTS: a silent core frame of the first unit's core; in DTS-HD it stands without the
// extension substream, whose decoder output is then the core's.
bool LoadDtsSilence(StreamInfo& info);
// AAC in ADTS: none for HE-AAC (info.Sbr) nor for channel configuration 0.
bool LoadAacSilence(StreamInfo& info);

}  // namespace velmora
