// Builds an MPEG audio frame that decodes to digital silence.
#include "silence/silent_mpeg_frame.h"

#include <algorithm>
#include <array>
#include <span>

#include "formats/ac3_crc.h"
#include "formats/mpeg_audio_frame.h"
#include "silence/bit_writer.h"

namespace velmora {

namespace {

constexpr std::uint32_t kSyncBits = 0x7FF;  // eleven ones; MPEG 2.5 needs the short form
constexpr int kHeaderBits = 32;
constexpr int kCrcBits = 16;
constexpr std::uint16_t kCrcStart = 0xFFFF;

// versionId and layerCode as the header codes them.
constexpr int kMpeg25 = 0;
constexpr int kMpeg2 = 2;
constexpr int kMpeg1 = 3;
constexpr int kLayer3 = 1;
constexpr int kLayer2 = 2;
constexpr int kLayer1 = 3;

constexpr int kSingleChannel = 3;
constexpr int kReservedEmphasis = 2;

constexpr int kSubbands = 32;


std::uint32_t U(int value) {
    return static_cast<std::uint32_t>(value);
}
std::uint32_t U(bool value) {
    return value ? 1u : 0u;
}

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

bool CodesValid(const SilentMpegFrameParams& p) {
    return (p.versionId == kMpeg1 || p.versionId == kMpeg2 || p.versionId == kMpeg25) &&
           InRange(p.layerCode, kLayer3, kLayer1) && InRange(p.bitrateIndex, 1, 14) &&
           InRange(p.samplingIndex, 0, 2) && InRange(p.paddingBit, 0, 1) &&
           InRange(p.channelMode, 0, 3) && InRange(p.modeExtension, 0, 3) &&
           InRange(p.emphasis, 0, 3) && p.emphasis != kReservedEmphasis && p.bitRateKbps > 0 &&
           p.sampleRateHz > 0;
}

// The size the rates give; 64-bit so that no bit rate can overflow.
std::int64_t ExpectedFrameBytes(const SilentMpegFrameParams& p) {
    const std::int64_t bitsPerSecond = 1000 * static_cast<std::int64_t>(p.bitRateKbps);
    if (p.layerCode == kLayer1) {
        return (12 * bitsPerSecond / p.sampleRateHz + p.paddingBit) * 4;
    }
    // Layer III below 32 kHz codes one granule of 576 samples, half of the other layers'
    // 1152, in a frame half as long.
    const int factor = p.layerCode == kLayer3 && p.versionId != kMpeg1 ? 72 : 144;
    return factor * bitsPerSecond / p.sampleRateHz + p.paddingBit;
}

void WriteHeader(BitWriter& out, const SilentMpegFrameParams& p) {
    out.Put(kSyncBits, 11);
    out.Put(U(p.versionId), 2);
    out.Put(U(p.layerCode), 2);
    out.Put(U(!p.protection), 1);  // protection_bit: 0 means a CRC follows
    out.Put(U(p.bitrateIndex), 4);
    out.Put(U(p.samplingIndex), 2);
    out.Put(U(p.paddingBit), 1);
    out.Put(0, 1);  // private_bit
    out.Put(U(p.channelMode), 2);
    out.Put(U(p.modeExtension), 2);
    out.Put(U(p.copyright), 1);
    out.Put(U(p.original), 1);
    out.Put(U(p.emphasis), 2);
}


// Layers I and II: an allocation of 0 for every subband and channel. With nothing
// allocated there are no scale factor selections, scale factors or samples to follow.
void WriteZeroAllocations(BitWriter& out, const SilentMpegFrameParams& p, int channels) {
    const MpegLayer2Allocation* table = nullptr;
    int sblimit = kSubbands;
    if (p.layerCode == kLayer2) {
        table = &MpegLayer2AllocationFor(p.versionId, p.bitRateKbps * 1000, p.sampleRateHz,
                                         channels);
        sblimit = table->sblimit;
    }
    const int bound = MpegIntensityBound(p.channelMode, p.modeExtension, sblimit);
    for (int sb = 0; sb < sblimit; ++sb) {
        const int width = table != nullptr ? table->nbal[static_cast<std::size_t>(sb)] : 4;
        const int allocations = sb < bound ? channels : 1;
        for (int ch = 0; ch < allocations; ++ch) {
            out.Put(0, width);
        }
    }
}

// Layer III side information that codes nothing: part2_3_length 0 leaves no bits for
// scale factors or Huffman data, so every line of every granule is 0 whatever the gain.
// main_data_begin 0 makes the frame stand alone: it borrows no bytes from the frame
// before, which may belong to another stream.
void WriteEmptySideInfo(BitWriter& out, const SilentMpegFrameParams& p, int channels) {
    const bool mpeg1 = p.versionId == kMpeg1;
    const int granules = mpeg1 ? 2 : 1;
    out.Put(0, mpeg1 ? 9 : 8);  // main_data_begin
    if (mpeg1) {
        out.Put(0, channels == 1 ? 5 : 3);  // private_bits
        out.Put(0, 4 * channels);           // scfsi: four bands per channel
    } else {
        out.Put(0, channels == 1 ? 1 : 2);  // private_bits
    }
    for (int gr = 0; gr < granules; ++gr) {
        for (int ch = 0; ch < channels; ++ch) {
            out.Put(0, 12);             // part2_3_length
            out.Put(0, 9);              // big_values
            out.Put(0, 8);              // global_gain
            out.Put(0, mpeg1 ? 4 : 9);  // scalefac_compress
            out.Put(0, 1);              // window_switching_flag: a long block
            out.Put(0, 3 * 5);          // table_select for the three regions
            out.Put(0, 4);              // region0_count
            out.Put(0, 3);              // region1_count
            if (mpeg1) {
                out.Put(0, 1);  // preflag
            }
            out.Put(0, 1);  // scalefac_scale
            out.Put(0, 1);  // count1table_select
        }
    }
}

}  // namespace

std::optional<std::vector<std::uint8_t>> BuildSilentMpegFrame(const SilentMpegFrameParams& params) {
    if (!CodesValid(params) || params.frameBytes != ExpectedFrameBytes(params)) {
        return std::nullopt;
    }
    const int channels = params.channelMode == kSingleChannel ? 1 : 2;

    BitWriter out;
    WriteHeader(out, params);
    if (params.protection) {
        out.Put(0, kCrcBits);  // filled in below, once the protected bits are known
    }
    const std::int64_t protectedStart = out.BitCount();
    if (params.layerCode == kLayer3) {
        WriteEmptySideInfo(out, params, channels);
    } else {
        WriteZeroAllocations(out, params, channels);
    }
    const std::int64_t protectedBits = out.BitCount() - protectedStart;
    // The rest is ancillary data (Layers I and II) or main data no granule claims
    // (Layer III); decoders skip both.
    const std::int64_t frameBits = 8 * static_cast<std::int64_t>(params.frameBytes);
    if (out.BitCount() > frameBits) {
        return std::nullopt;
    }
    out.PadTo(frameBits);
    if (!out.Ok()) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> frame = out.Bytes();
    if (params.protection) {
        // The CRC covers the last 16 header bits, then the allocations (Layers I and II,
        // which would include scale factor selections had any been sent) or the side
        // information (Layer III); the CRC word itself is skipped.
        const auto bytes = std::span<const std::uint8_t>(frame);
        std::uint16_t crc = Crc16Bits(bytes.subspan(2), kHeaderBits - 16, kCrcStart);
        crc = Crc16Bits(bytes.subspan((kHeaderBits + kCrcBits) / 8), protectedBits, crc);
        frame[4] = static_cast<std::uint8_t>(crc >> 8);
        frame[5] = static_cast<std::uint8_t>(crc & 0xFF);
    }
    return frame;
}

bool EmptyLayer3Granules(std::span<std::uint8_t> frame) {
    const MpegAudioHeader header = DecodeMpegAudioHeader(frame);
    const std::size_t sideInfo = MpegAudioSideInfoBytes(header);
    const std::int64_t start = 8 * (header.protectionBit == 0 ? 6 : 4);
    if (header.layerCode != kLayer3 ||
        frame.size() * 8 < static_cast<std::size_t>(start) + 8 * sideInfo) {
        return false;
    }
    // Everything but the granules' window and table choices is 0: main_data_begin, private
    // bits, scfsi, and per granule and channel the lengths, gains and scale factor sizes.
    SilentMpegFrameParams params;
    params.versionId = header.versionId;
    params.channelMode = header.channelMode;
    BitWriter empty;
    WriteEmptySideInfo(empty, params, header.channelMode == kSingleChannel ? 1 : 2);
    const std::vector<std::uint8_t> bits = empty.Bytes();
    std::copy_n(bits.begin(), sideInfo, frame.begin() + start / 8);
    if (header.protectionBit == 0) {
        const auto bytes = std::span<const std::uint8_t>(frame);
        std::uint16_t crc = Crc16Bits(bytes.subspan(2), kHeaderBits - 16, kCrcStart);
        crc = Crc16Bits(bytes.subspan(6), static_cast<std::int64_t>(8 * sideInfo), crc);
        frame[4] = static_cast<std::uint8_t>(crc >> 8);
        frame[5] = static_cast<std::uint8_t>(crc & 0xFF);
    }
    return true;
}

}  // namespace velmora
