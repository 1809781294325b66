// DTS-HD streams as films carry them, built from an encoder's core stream.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

#include "formats/dts_frame.h"
#include "silence/bit_writer.h"
#include "support/test_support.h"

namespace velmora::test {

// CRC-16 CCITT (generator 0x1021, start 0xFFFF), the check of an extension substream header.
inline std::uint16_t CrcCcitt(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t byte : bytes) {
        crc ^= static_cast<std::uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
        }
    }
    return crc;
}

// An extension substream of `assetBytes` bytes of asset data: a header without static fields
// for one asset whose descriptor names no coding component, with the header's CRC (CRC-16
// CCITT over everything after the user bits), so decoders read and skip it.
inline Bytes ExtensionSubstream(std::uint32_t assetBytes) {
    constexpr std::uint32_t kHeaderBytes = 17;
    BitWriter bits;
    bits.Put(0x64582025, 32);                      // SYNCEXTSSH
    bits.Put(0, 8);                                // UserDefinedBits
    bits.Put(0, 2);                                // nExtSSIndex
    bits.Put(0, 1);                                // bHeaderSizeType: 8 and 16 bits
    bits.Put(kHeaderBytes - 1, 8);                 // nuExtSSHeaderSize
    bits.Put(kHeaderBytes + assetBytes - 1, 16);   // nuExtSSFsize
    bits.Put(0, 1);                                // bStaticFieldsPresent
    bits.Put(assetBytes - 1, 16);                  // nuAssetFsize
    bits.Put(3, 9);                                // nuAssetDescriptFsize: 4 bytes
    bits.Put(0, 3);                                // nuAssetIndex
    bits.Put(0, 2);                                // no DRC, no dialogue normalisation
    bits.Put(0, 2);                                // nuCodingMode 0
    bits.Put(0, 12);                               // nuCoreExtensionMask: no component
    bits.PadTo(120);
    Bytes substream = bits.Bytes();
    const std::uint16_t crc = CrcCcitt(std::span(substream).subspan(5, 10));
    substream.push_back(static_cast<std::uint8_t>(crc >> 8));
    substream.push_back(static_cast<std::uint8_t>(crc));
    substream.resize(kHeaderBytes + assetBytes, 0);
    return substream;
}

// A DTS stream made DTS-HD: every core frame followed by an extension substream.
inline Bytes WithExtensionSubstreams(const Bytes& core) {
    Bytes stream;
    for (std::size_t at = 0; at + kDtsHeaderBytes <= core.size();) {
        const auto length = static_cast<std::size_t>(DtsFrameLength(DecodeDtsHeader(
            std::span(core).subspan(at, kDtsHeaderBytes))));
        const std::size_t end = std::min(at + length, core.size());
        stream.insert(stream.end(), core.begin() + static_cast<std::ptrdiff_t>(at),
                      core.begin() + static_cast<std::ptrdiff_t>(end));
        const Bytes substream = ExtensionSubstream(64 + static_cast<std::uint32_t>(at % 7) * 4);
        stream.insert(stream.end(), substream.begin(), substream.end());
        at += length;
    }
    return stream;
}

}  // namespace velmora::test
