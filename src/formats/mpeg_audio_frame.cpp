// The MPEG audio frame header (ISO/IEC 11172-3, 13818-3 and MPEG 2.5) and its tables.
#include "formats/mpeg_audio_frame.h"

#include <algorithm>
#include <array>

#include "formats/ac3_crc.h"
#include "formats/bit_reader.h"

namespace velmora {

namespace {

using RateRow = std::array<std::int32_t, 15>;  // kbit/s by bitrate_index 0..14; 0 free format

// ISO/IEC 11172-3, 2.4.2.3: bit rates of MPEG-1 by layer.
constexpr RateRow kMpeg1Layer1 = {0,   32,  64,  96,  128, 160, 192, 224,
                                  256, 288, 320, 352, 384, 416, 448};
constexpr RateRow kMpeg1Layer2 = {0,   32,  48,  56,  64,  80,  96, 112,
                                  128, 160, 192, 224, 256, 320, 384};
constexpr RateRow kMpeg1Layer3 = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
// ISO/IEC 13818-3, 2.4.2.3: the lower sampling frequencies; Layers II and III share a row.
// MPEG 2.5 extends the same scheme to lower rates and uses these rows too.
constexpr RateRow kMpeg2Layer1 = {0,   32,  48,  56,  64,  80,  96, 112,
                                  128, 144, 160, 176, 192, 224, 256};
constexpr RateRow kMpeg2Layer23 = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

// Sampling rates by sampling_frequency 0..2 for MPEG 2.5, reserved, MPEG-2 and MPEG-1.
constexpr std::array<std::array<std::int32_t, 3>, 4> kSamplingRates = {{
    {11025, 12000, 8000},
    {0, 0, 0},
    {22050, 24000, 16000},
    {44100, 48000, 32000},
}};

// ISO/IEC 11172-3 Table 3-B.2a: 48 kHz at 56 kbit/s per channel and up; 44.1 and 32 kHz
// at 56 to 80 kbit/s per channel.
constexpr MpegLayer2Allocation kTableA = {
    27, {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2}};
// Table 3-B.2b: 44.1 and 32 kHz at 96 kbit/s per channel and up.
constexpr MpegLayer2Allocation kTableB = {
    30, {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2}};
// Table 3-B.2c: 48 and 44.1 kHz at 32 and 48 kbit/s per channel.
constexpr MpegLayer2Allocation kTableC = {8, {4, 4, 3, 3, 3, 3, 3, 3}};
// Table 3-B.2d: 32 kHz at 32 and 48 kbit/s per channel.
constexpr MpegLayer2Allocation kTableD = {12, {4, 4, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}};
// ISO/IEC 13818-3 Table B.1: the one table of the lower sampling rates (MPEG-2, 2.5).
constexpr MpegLayer2Allocation kTableLsf = {
    30, {4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2}};

constexpr int kSubbands = 32;
constexpr int kSingleChannel = 3;
constexpr int kJointStereo = 1;
constexpr int kLayer3 = 1;
constexpr int kLayer2 = 2;
constexpr int kLayer1 = 3;
constexpr int kMpeg1 = 3;

std::int32_t BitRate(const MpegAudioHeader& h) {
    if (h.bitrateIndex < 1 || h.bitrateIndex > 14 || h.layerCode == 0 || h.versionId == 1) {
        return 0;
    }
    const RateRow* row = nullptr;
    if (h.versionId == kMpeg1) {
        row = h.layerCode == kLayer1   ? &kMpeg1Layer1
              : h.layerCode == kLayer2 ? &kMpeg1Layer2
                                       : &kMpeg1Layer3;
    } else {
        row = h.layerCode == kLayer1 ? &kMpeg2Layer1 : &kMpeg2Layer23;
    }
    return (*row)[static_cast<std::size_t>(h.bitrateIndex)] * 1000;
}

std::int32_t SamplingRate(const MpegAudioHeader& h) {
    if (h.samplingIndex > 2) {
        return 0;
    }
    return kSamplingRates[static_cast<std::size_t>(h.versionId)]
                         [static_cast<std::size_t>(h.samplingIndex)];
}

}  // namespace

MpegAudioHeader DecodeMpegAudioHeader(std::span<const std::uint8_t> bytes) {
    // The header is one 32-bit word; the walk decodes one for every frame, so its fields are
    // taken by shifts of that word.
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < kMpegAudioHeaderBytes; ++i) {
        word = word << 8 | (i < bytes.size() ? bytes[i] : 0U);
    }
    const auto field = [word](int shift, int bits) {
        return static_cast<int>(word >> shift & ((1U << bits) - 1U));
    };
    MpegAudioHeader h;
    h.syncBits = field(21, 11);
    h.versionId = field(19, 2);
    h.layerCode = field(17, 2);
    h.protectionBit = field(16, 1);
    h.bitrateIndex = field(12, 4);
    h.samplingIndex = field(10, 2);
    h.paddingBit = field(9, 1);
    // bit 8: private bit
    h.channelMode = field(6, 2);
    h.modeExtension = field(4, 2);
    h.copyrightBit = field(3, 1);
    h.originalBit = field(2, 1);
    h.emphasis = field(0, 2);
    h.bitrate = BitRate(h);
    h.samplingRate = SamplingRate(h);
    return h;
}

bool MpegAudioSyncOk(const MpegAudioHeader& h) {
    return h.syncBits == 0x7FF && h.versionId != 1 && h.layerCode != 0 && h.bitrateIndex != 15 &&
           h.samplingIndex != 3;
}

std::int32_t MpegAudioFrameLength(const MpegAudioHeader& h) {
    if (h.samplingRate <= 0 || h.bitrate <= 0) {
        return 0;
    }
    // Whole slots by truncation, then the padding slot: 4-byte slots in Layer I, bytes else.
    const std::int64_t bitrate = h.bitrate;
    switch (h.layerCode) {
        case kLayer1:
            return static_cast<std::int32_t>((12 * bitrate / h.samplingRate + h.paddingBit) * 4);
        case kLayer2:
            return static_cast<std::int32_t>(144 * bitrate / h.samplingRate + h.paddingBit);
        case kLayer3: {
            // Half the samples per frame at the lower rates, so half the bytes.
            const std::int64_t factor = h.versionId == kMpeg1 ? 144 : 72;
            return static_cast<std::int32_t>(factor * bitrate / h.samplingRate + h.paddingBit);
        }
        default:
            return 0;
    }
}

std::int32_t MpegAudioSamplesPerFrame(const MpegAudioHeader& h) {
    switch (h.layerCode) {
        case kLayer1:
            return 384;
        case kLayer2:
            return 1152;
        case kLayer3:
            return h.versionId == kMpeg1 ? 1152 : 576;
        default:
            return 0;
    }
}

std::size_t MpegAudioSideInfoBytes(const MpegAudioHeader& h) {
    const bool mono = h.channelMode == 3;
    if (h.versionId == kMpeg1) {
        return mono ? 17 : 32;
    }
    return mono ? 9 : 17;
}

const MpegLayer2Allocation& MpegLayer2AllocationFor(int versionId, std::int32_t bitRate,
                                                    std::int32_t samplingRate, int channels) {
    if (versionId != kMpeg1) {
        return kTableLsf;
    }
    const std::int32_t perChannel = bitRate / 1000 / std::max(channels, 1);
    if (perChannel <= 48) {
        return samplingRate == 32000 ? kTableD : kTableC;
    }
    if (perChannel <= 80 || samplingRate == 48000) {
        return kTableA;
    }
    return kTableB;
}

int MpegIntensityBound(int channelMode, int modeExtension, int sblimit) {
    if (channelMode != kJointStereo) {
        return sblimit;
    }
    return std::min(4 * (modeExtension + 1), sblimit);
}

bool MpegAudioCrcHolds(std::span<const std::uint8_t> frame) {
    const MpegAudioHeader h = DecodeMpegAudioHeader(frame);
    if (h.protectionBit == 1) {
        return true;
    }
    constexpr std::size_t kProtectedFrom = kMpegAudioHeaderBytes + 2;
    if (frame.size() < kProtectedFrom) {
        return false;
    }
    const int channels = h.channelMode == kSingleChannel ? 1 : 2;
    const auto body = frame.subspan(kProtectedFrom);
    std::int64_t bits = 0;
    if (h.layerCode == kLayer3) {
        bits = 8 * static_cast<std::int64_t>(MpegAudioSideInfoBytes(h));
    } else {
        const MpegLayer2Allocation* table =
            h.layerCode == kLayer2
                ? &MpegLayer2AllocationFor(h.versionId, h.bitrate, h.samplingRate, channels)
                : nullptr;
        const int sblimit = table != nullptr ? table->sblimit : kSubbands;
        const int bound = MpegIntensityBound(h.channelMode, h.modeExtension, sblimit);
        BitReader in(body);
        int allocated = 0;  // allocations that are not 0, each with its selection in Layer II
        for (int sb = 0; sb < sblimit; ++sb) {
            const int width = table != nullptr ? table->nbal[static_cast<std::size_t>(sb)] : 4;
            const int own = sb < bound ? channels : 1;
            for (int ch = 0; ch < own; ++ch) {
                bits += width;
                // Above the bound one allocation serves both channels, each with a selection.
                allocated += in.Read(width) != 0 ? channels / own : 0;
            }
        }
        if (table != nullptr) {
            bits += 2 * static_cast<std::int64_t>(allocated);
        }
    }
    std::uint16_t crc = Crc16Bits(frame.subspan(2, 2), 16, 0xFFFF);
    crc = Crc16Bits(body, bits, crc);
    return 8 * static_cast<std::int64_t>(body.size()) >= bits &&
           crc == (frame[4] << 8 | frame[5]);
}

}  // namespace velmora
