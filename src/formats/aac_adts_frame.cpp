// The ADTS frame of AAC.
#include "formats/aac_adts_frame.h"

#include <array>

#include "formats/bit_reader.h"
#include "formats/frame_facts.h"

namespace velmora {

namespace {

constexpr std::array<std::int32_t, 13> kSamplingRates = {
    96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};

// Syntactic elements of a raw data block, and the fill element's extension types.
constexpr std::uint32_t kFillElement = 6;
constexpr std::uint32_t kEndElement = 7;
constexpr std::uint32_t kExtFill = 0;
constexpr std::uint32_t kExtFillData = 1;
constexpr std::uint32_t kExtDataElement = 2;
constexpr std::uint32_t kExtDynamicRange = 11;
constexpr std::uint32_t kExtSbrData = 13;
constexpr std::uint32_t kExtSbrDataCrc = 14;
// Fill elements looked through behind the SBR one.
constexpr int kMostFillsAfterSbr = 3;

std::uint32_t BitsAt(std::span<const std::uint8_t> bytes, std::int64_t bit, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++bit) {
        value = value << 1 | ((bytes[static_cast<std::size_t>(bit >> 3)] >> (7 - (bit & 7))) & 1U);
    }
    return value;
}

// A fill element that ends at bit `end` (first bit after it) and starts no earlier than
// `from`: its payload's extension type, checked for SBR, else for a plain fill that may stand
// between the SBR element and the end. The element's own count field has to lead to `end`.
bool SbrFillEndsAt(std::span<const std::uint8_t> bytes, std::int64_t from, std::int64_t end,
                   int depth) {
    // cnt bytes of payload: 4 bits of count, or 15 and an 8-bit escape that adds cnt - 15 + 1.
    for (std::int64_t cnt = 1; cnt <= 15 + 255 - 1; ++cnt) {
        const bool escaped = cnt >= 15;
        const std::int64_t start = end - 8 * cnt - (escaped ? 15 : 7);
        if (start < from) {
            break;
        }
        if (BitsAt(bytes, start, 3) != kFillElement) {
            continue;
        }
        const std::uint32_t count = BitsAt(bytes, start + 3, 4);
        const bool matches = escaped ? count == 15 && BitsAt(bytes, start + 7, 8) == cnt - 14
                                     : count == static_cast<std::uint32_t>(cnt);
        if (!matches) {
            continue;
        }
        const std::uint32_t type = BitsAt(bytes, end - 8 * cnt, 4);
        if (type == kExtSbrData || type == kExtSbrDataCrc) {
            return true;
        }
        const bool fill = type == kExtFill || type == kExtFillData || type == kExtDataElement ||
                          type == kExtDynamicRange;
        if (fill && depth < kMostFillsAfterSbr && SbrFillEndsAt(bytes, from, start, depth + 1)) {
            return true;
        }
    }
    return false;
}

}  // namespace

AdtsHeader DecodeAdtsHeader(std::span<const std::uint8_t> bytes) {
    BitReader bits(bytes.first(std::min(bytes.size(), kAdtsHeaderBytes)));
    AdtsHeader h;
    const std::uint32_t sync = bits.Read(12);
    h.mpegVersion = bits.Read(1) == 1 ? 2 : 4;
    const std::uint32_t layer = bits.Read(2);
    h.protectionAbsent = bits.Read(1) == 1;
    h.profile = static_cast<int>(bits.Read(2));
    h.samplingIndex = static_cast<int>(bits.Read(4));
    bits.Skip(1);  // private bit
    h.channelConfiguration = static_cast<int>(bits.Read(3));
    bits.Skip(4);  // original/copy, home, and the two copyright identification bits
    h.frameLength = static_cast<std::int32_t>(bits.Read(13));
    h.bufferFullness = static_cast<int>(bits.Read(11));
    h.rawDataBlocks = static_cast<int>(bits.Read(2)) + 1;
    if (static_cast<std::size_t>(h.samplingIndex) < kSamplingRates.size()) {
        h.samplingRate = kSamplingRates[static_cast<std::size_t>(h.samplingIndex)];
    }
    h.syncOk = !bits.Overrun() && sync == 0xFFF && layer == 0 && h.samplingRate > 0 &&
               static_cast<std::size_t>(h.frameLength) > AdtsPayloadStart(h);
    return h;
}

std::size_t AdtsPayloadStart(const AdtsHeader& header) {
    if (header.protectionAbsent) {
        return kAdtsHeaderBytes;
    }
    // One 16-bit position for every block after the first, then the CRC word.
    return kAdtsHeaderBytes + 2 * static_cast<std::size_t>(header.rawDataBlocks - 1) + 2;
}

int AacChannels(int channelConfiguration) {
    return channelConfiguration == 7 ? 8 : channelConfiguration;
}

bool AdtsFrameEndsInSbr(std::span<const std::uint8_t> frame) {
    const AdtsHeader header = DecodeAdtsHeader(frame);
    if (!header.syncOk || header.rawDataBlocks != 1 ||
        static_cast<std::size_t>(header.frameLength) > frame.size()) {
        return false;
    }
    const auto payload = frame.subspan(AdtsPayloadStart(header),
                                       static_cast<std::size_t>(header.frameLength) -
                                           AdtsPayloadStart(header));
    // The block is padded with zeros to its last byte: its last set bit ends the end element.
    std::int64_t last = static_cast<std::int64_t>(payload.size()) * 8 - 1;
    while (last >= 0 && BitsAt(payload, last, 1) == 0) {
        --last;
    }
    const std::int64_t endElement = last - 2;
    if (endElement < 0 || BitsAt(payload, endElement, 3) != kEndElement) {
        return false;
    }
    return SbrFillEndsAt(payload, 0, endElement, 0);
}

FrameFacts AacAdtsFacts(std::span<const std::uint8_t> bytes) {
    const AdtsHeader header = DecodeAdtsHeader(bytes);
    FrameFacts facts;
    facts.syncOk = header.syncOk;
    if (!header.syncOk) {
        return facts;
    }
    facts.length = header.frameLength;
    facts.samples = kAacBlockSamples * header.rawDataBlocks;
    facts.samplingRate = header.samplingRate;
    // The fixed header but for the protection bit: silent frames carry no CRC word.
    facts.streamKey = static_cast<std::uint32_t>(header.mpegVersion << 12 | header.profile << 8 |
                                                 header.samplingIndex << 4 |
                                                 header.channelConfiguration);
    // ADTS has no bit-rate code and every frame its own length: each length counts as a
    // rate of its own, so junk in it cannot be timed.
    facts.rateCode = static_cast<std::uint32_t>(header.frameLength);
    facts.meanLength = header.frameLength;
    return facts;
}

}  // namespace velmora
