// The MPEG audio frame header (ISO/IEC 11172-3, 13818-3 and MPEG 2.5) and its report.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace velmora {

inline constexpr std::size_t kMpegAudioHeaderBytes = 5;

struct MpegAudioHeader {
    int versionId = 0;      // 0 MPEG 2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
    int layerCode = 0;      // 0 reserved, 1 Layer III, 2 Layer II, 3 Layer I
    int protectionBit = 0;  // 1 no CRC, 0 a CRC follows the header
    int bitrateIndex = 0;   // 0..15 (0 free format, 15 forbidden)
    int samplingIndex = 0;  // 0..3 (3 reserved)
    int paddingBit = 0;
    int channelMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    int copyrightBit = 0;
    int originalBit = 0;
    int emphasis = 0;  // 0 none, 1 50/15 us, 2 reserved, 3 CCITT J.17
    // Derived: bit/s and samples/s, 0 where the tables have no entry.
    std::int32_t bitrate = 0;
    std::int32_t samplingRate = 0;
};

// Decodes bytes 1 to 3 as they stand: no sync or CRC test. Missing bytes read as 0.
[[nodiscard]] MpegAudioHeader DecodeMpegAudioHeader(std::span<const std::uint8_t> bytes);

// Nominal bytes per frame without padding; 0 when the sampling rate, bit rate or layer is
// unknown. The factor is 144 for Layers II and III of every version.
[[nodiscard]] std::int32_t MpegAudioFrameLength(const MpegAudioHeader& header);

// The report lines from "MPEG Version: " to the closing empty line.
[[nodiscard]] std::string MpegAudioReport(const MpegAudioHeader& header, std::int32_t frameLength);

}  // namespace velmora
