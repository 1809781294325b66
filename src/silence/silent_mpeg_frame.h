// Builds an MPEG audio frame (Layer I, II or III; MPEG-1, MPEG-2 or MPEG 2.5) that decodes
// to digital silence, from its header fields.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velmora {

// The header of the frame, in the terms of ISO/IEC 11172-3 and 13818-3, with the codes as
// the header carries them. The bit rate, the sampling rate and the frame size are given
// in plain numbers as well: the caller has the tables that turn codes into them, and the
// builder needs them to pick the Layer II allocation table and to check the size.
struct SilentMpegFrameParams {
    int versionId = 3;      // 3 MPEG-1, 2 MPEG-2, 0 MPEG 2.5 (1 is reserved)
    int layerCode = 2;      // 3 Layer I, 2 Layer II, 1 Layer III (0 is reserved)
    int bitrateIndex = 0;   // bitrate_index, 1..14 (0 free format and 15 are refused)
    int samplingIndex = 0;  // sampling_frequency, 0..2
    int bitRateKbps = 0;    // what bitrateIndex stands for, in kbit/s
    int sampleRateHz = 0;   // what samplingIndex stands for, in Hz
    int paddingBit = 0;     // padding_bit, 0..1
    int channelMode = 0;    // mode: 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    int modeExtension = 0;  // mode_extension, 0..3
    bool copyright = false;
    bool original = false;
    int emphasis = 0;  // emphasis, 0, 1 or 3 (2 is reserved)
    // true: protection_bit 0 and a CRC-16 after the header, over the allocation bits the
    // frame carries. For Layer I intensity stereo that is one allocation per subband above
    // the bound; ffmpeg's CRC check counts two there and reports such frames as damaged.
    bool protection = false;
    // Bytes in the frame, padding included: Layer I (12 * bit rate / rate + padding) * 4;
    // Layers II and III 144 * bit rate / rate + padding, 72 for Layer III below 32 kHz
    // (MPEG-2 and 2.5), the divisions truncated.
    int frameBytes = 0;
};

// The frame: header, CRC when asked for, then every allocation 0 (Layers I and II) or
// side information that codes no bits at all (Layer III), and zero bytes to the end.
// Nothing when a code is reserved or out of range, or when frameBytes is not the size
// the rates give.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> BuildSilentMpegFrame(
    const SilentMpegFrameParams& params);

// A Layer III frame that decodes to silence in place of the one given: its header, side
// information that codes no bits (main_data_begin 0, so it takes nothing from frames before,
// which may be lost), and the bytes after the side information as they were, since later
// frames take their start from them. The CRC is made to fit. False where the frame is too
// short for its side information or is no Layer III frame.
bool EmptyLayer3Granules(std::span<std::uint8_t> frame);

}  // namespace velmora
