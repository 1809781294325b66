// Builds an ADTS frame of AAC that decodes to digital silence.
#include "silence/silent_aac_frame.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "formats/aac_adts_frame.h"
#include "silence/bit_writer.h"

namespace velmora {

namespace {

// The elements of each channel configuration, in the standard's order: S single channel,
// C channel pair, L low-frequency effects.
constexpr std::array<std::string_view, 8> kElements = {"",    "S",    "C",     "SC",
                                                       "SCS", "SCC", "SCCL", "SCCCL"};

constexpr std::uint32_t kSingleChannel = 0;
constexpr std::uint32_t kChannelPair = 1;
constexpr std::uint32_t kLowFrequency = 3;
constexpr std::uint32_t kEnd = 7;

// One channel's stream with a long window and max_sfb 0: no sections, no scale factors, no
// spectral data, so every coefficient is zero.
void PutEmptyChannel(BitWriter& bits) {
    bits.Put(0, 8);  // global_gain
    bits.Put(0, 1);  // ics_reserved_bit
    bits.Put(0, 2);  // window_sequence: ONLY_LONG_SEQUENCE
    bits.Put(0, 1);  // window_shape
    bits.Put(0, 6);  // max_sfb
    bits.Put(0, 1);  // predictor_data_present
    bits.Put(0, 1);  // pulse_data_present
    bits.Put(0, 1);  // tns_data_present
    bits.Put(0, 1);  // gain_control_data_present
}

void PutRawDataBlock(BitWriter& bits, std::string_view elements) {
    std::array<std::uint32_t, 4> tags{};  // each element type counts its own instances
    for (const char element : elements) {
        const std::uint32_t id = element == 'S' ? kSingleChannel
                                 : element == 'C' ? kChannelPair
                                                  : kLowFrequency;
        bits.Put(id, 3);
        bits.Put(tags[id]++, 4);
        if (id == kChannelPair) {
            bits.Put(0, 1);  // common_window
            PutEmptyChannel(bits);
        }
        PutEmptyChannel(bits);
    }
    bits.Put(kEnd, 3);
    bits.PadTo((bits.BitCount() + 7) / 8 * 8);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> BuildSilentAacFrame(
    std::span<const std::uint8_t> streamFrame) {
    const AdtsHeader header = DecodeAdtsHeader(streamFrame);
    if (!header.syncOk || header.channelConfiguration == 0) {
        return std::nullopt;
    }
    BitWriter blocks;
    for (int block = 0; block < header.rawDataBlocks; ++block) {
        PutRawDataBlock(blocks, kElements[static_cast<std::size_t>(header.channelConfiguration)]);
    }
    std::vector<std::uint8_t> frame(streamFrame.begin(), streamFrame.begin() + kAdtsHeaderBytes);
    frame.insert(frame.end(), blocks.Bytes().begin(), blocks.Bytes().end());
    const auto length = static_cast<std::uint32_t>(frame.size());
    frame[1] |= 0x01;  // protection_absent
    frame[3] = static_cast<std::uint8_t>((frame[3] & 0xFC) | (length >> 11));
    frame[4] = static_cast<std::uint8_t>(length >> 3);
    frame[5] = static_cast<std::uint8_t>((frame[5] & 0x1F) | ((length & 7) << 5));
    return frame;
}

}  // namespace velmora
