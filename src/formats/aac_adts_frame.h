// The ADTS frame of AAC (ISO/IEC 13818-7 and 14496-3): its header and what the frame holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora {

inline constexpr std::size_t kAdtsHeaderBytes = 7;
// Samples per channel in one raw data block (ADTS never carries the 960-sample frames).
inline constexpr std::int32_t kAacBlockSamples = 1024;

struct AdtsHeader {
    bool syncOk = false;  // 0xFFF, layer 0 and a sampling frequency the table has
    int mpegVersion = 4;  // 2 or 4, from the ID bit
    bool protectionAbsent = true;
    int profile = 0;  // 0 Main, 1 LC, 2 SSR, 3 LTP (the MPEG-4 object type less one)
    int samplingIndex = 0;
    int channelConfiguration = 0;  // 0: a program config element in the stream says
    std::int32_t frameLength = 0;  // bytes, header included
    int bufferFullness = 0;        // 0x7FF in a stream of variable rate
    int rawDataBlocks = 1;         // 1 to 4
    std::int32_t samplingRate = 0;
};

// Decodes the header as it stands; missing bytes read as 0.
[[nodiscard]] AdtsHeader DecodeAdtsHeader(std::span<const std::uint8_t> bytes);

// Bytes before the first raw data block: the header and, in a protected frame, the block
// positions and the header's CRC word.
[[nodiscard]] std::size_t AdtsPayloadStart(const AdtsHeader& header);

// Channels that a channel configuration code gives (7 is 7.1); 0 for code 0.
[[nodiscard]] int AacChannels(int channelConfiguration);

// Whether a single-block frame's raw data ends in a fill element with SBR data (HE-AAC
// signals SBR only so in ADTS): encoders write it last, before the end element, perhaps
// followed by other fill elements.
[[nodiscard]] bool AdtsFrameEndsInSbr(std::span<const std::uint8_t> frame);

}  // namespace velmora
