// The MPEG audio frame header (ISO/IEC 11172-3, 13818-3 and MPEG 2.5) and its tables.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora {

inline constexpr std::size_t kMpegAudioHeaderBytes = 4;

struct MpegAudioHeader {
    int syncBits = 0;       // the 11 frame sync bits, all set (0x7FF) in a frame
    int versionId = 0;      // 0 MPEG 2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
    int layerCode = 0;      // 0 reserved, 1 Layer III, 2 Layer II, 3 Layer I
    int protectionBit = 0;  // 1 no CRC, 0 a CRC follows the header
    int bitrateIndex = 0;   // 0..15 (0 free format, 15 forbidden)
    int samplingIndex = 0;  // 0..3 (3 reserved)
    int paddingBit = 0;
    int channelMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    int modeExtension = 0;
    int copyrightBit = 0;
    int originalBit = 0;
    int emphasis = 0;  // 0 none, 1 50/15 us, 2 reserved, 3 CCITT J.17
    // Derived: bit/s and samples/s, 0 where the tables have no entry.
    std::int32_t bitrate = 0;
    std::int32_t samplingRate = 0;
};

// Decodes the four header bytes as they stand; missing bytes read as 0.
[[nodiscard]] MpegAudioHeader DecodeMpegAudioHeader(std::span<const std::uint8_t> bytes);

// A frame header: all sync bits set and no reserved or forbidden code. Free format
// (bit-rate index 0) passes; it has no length of its own.
[[nodiscard]] bool MpegAudioSyncOk(const MpegAudioHeader& header);

// The frame's length in bytes as the standards define it, padding slot included and
// truncated to whole slots; 0 when the bit rate, sampling rate or layer is unknown.
[[nodiscard]] std::int32_t MpegAudioFrameLength(const MpegAudioHeader& header);

// Samples per channel in one frame: Layer I 384, Layer II 1152, Layer III 1152 for MPEG-1
// and 576 for MPEG-2 and 2.5; 0 for the reserved layer.
[[nodiscard]] std::int32_t MpegAudioSamplesPerFrame(const MpegAudioHeader& header);

// Bytes of Layer III side information after the header (and its CRC), where a Xing or
// Info tag starts: 32 or 17 for MPEG-1, 17 or 9 for MPEG-2 and 2.5 (single channel second).
[[nodiscard]] std::size_t MpegAudioSideInfoBytes(const MpegAudioHeader& header);

// Layer II bit allocation: how many subbands carry an allocation (sblimit) and how many bits
// each one takes (nbal), by the table that the rate and the bit rate per channel select.
struct MpegLayer2Allocation {
    int sblimit = 0;
    std::array<std::uint8_t, 30> nbal{};
};
[[nodiscard]] const MpegLayer2Allocation& MpegLayer2AllocationFor(int versionId,
                                                                  std::int32_t bitRate,
                                                                  std::int32_t samplingRate,
                                                                  int channels);

// Layers I and II: the first subband whose allocation both channels share (intensity stereo
// in joint stereo mode); every subband up to `sblimit` has one per channel otherwise.
[[nodiscard]] int MpegIntensityBound(int channelMode, int modeExtension, int sblimit);

// Whether a frame's CRC-16 holds: over the header's last 16 bits and what follows the CRC
// word up to the end of Layer I's bit allocation, Layer II's bit allocation and scale
// factor selection, or Layer III's side information. The samples are never covered. True
// for a frame without a CRC (protection_bit 1).
[[nodiscard]] bool MpegAudioCrcHolds(std::span<const std::uint8_t> frame);

}  // namespace velmora
