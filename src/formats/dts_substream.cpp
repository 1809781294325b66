// The DTS-HD extension substream header (ETSI TS 102 114).
#include "formats/dts_substream.h"

#include "formats/bit_reader.h"

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

}  // namespace velmora
