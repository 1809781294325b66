// The DTS-HD extension substream header (ETSI TS 102 114).
#include "formats/dts_substream.h"

#include <array>

#include "formats/bit_reader.h"
#include "formats/dts_frame.h"

namespace velmora {

std::int64_t DtsSubstreamLength(std::span<const std::uint8_t> bytes) {
    BitReader bits(bytes);
    if (bits.Read(32) != kDtsSubstreamSync) {
        return 0;
    }
    bits.Skip(8);  // UserDefinedBits
    bits.Skip(2);  // nExtSSIndex
    const bool longHeader = bits.Read(1) != 0;  // bHeaderSizeType
    bits.Skip(longHeader ? 12 : 8);             // nuExtSSHeaderSize
    const std::int64_t size = bits.Read(longHeader ? 20 : 16);
    return bits.Overrun() ? 0 : size + 1;
}

namespace {

// kCcitt[b]: the register after byte b from 0.
constexpr auto kCcitt = [] {
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        auto crc = static_cast<std::uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000U) != 0 ? crc << 1 ^ 0x1021U : crc << 1);
        }
        table[byte] = crc;
    }
    return table;
}();

// nExtSSIndex starts in the sixth byte, after the sync word and the user bits.
constexpr std::size_t kCoveredFrom = 5;

}  // namespace

bool DtsSubstreamCrcHolds(std::span<const std::uint8_t> bytes) {
    BitReader bits(bytes);
    bits.Skip(32 + 8 + 2);
    const bool longHeader = bits.Read(1) != 0;
    const auto headerBytes = static_cast<std::size_t>(bits.Read(longHeader ? 12 : 8)) + 1;
    if (bits.Overrun() || headerBytes <= kCoveredFrom + 2 || headerBytes > bytes.size()) {
        return false;
    }
    std::uint16_t crc = 0xFFFF;
    for (std::size_t at = kCoveredFrom; at < headerBytes; ++at) {
        crc = static_cast<std::uint16_t>(crc << 8 ^ kCcitt[(crc >> 8 ^ bytes[at]) & 0xFF]);
    }
    return crc == 0;
}

bool DtsUnitCrcsHold(std::span<const std::uint8_t> unit) {
    auto at = static_cast<std::size_t>(DtsFrameLength(DecodeDtsHeader(unit)));
    while (at < unit.size()) {
        const auto rest = unit.subspan(at);
        const std::int64_t length = DtsSubstreamLength(rest);
        if (length <= 0 || !DtsSubstreamCrcHolds(rest)) {
            return false;
        }
        at += static_cast<std::size_t>(length);
    }
    return true;
}

}  // namespace velmora
