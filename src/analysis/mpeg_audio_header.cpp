// The MPEG audio frame header (ISO/IEC 11172-3, 13818-3 and MPEG 2.5) and its report.
#include "analysis/mpeg_audio_header.h"

#include <array>

#include "analysis/bit_reader.h"
#include "analysis/number_text.h"

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

std::int32_t BitRate(const MpegAudioHeader& h) {
    if (h.bitrateIndex < 1 || h.bitrateIndex > 14 || h.layerCode == 0) {
        return 0;
    }
    const RateRow* row = nullptr;
    if (h.versionId == 3) {
        row = h.layerCode == 3 ? &kMpeg1Layer1 : h.layerCode == 2 ? &kMpeg1Layer2 : &kMpeg1Layer3;
    } else if (h.versionId == 2) {
        row = h.layerCode == 3 ? &kMpeg2Layer1 : &kMpeg2Layer23;
    } else {
        return 0;  // MPEG 2.5 has no bit-rate table here; version 1 is reserved
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

const char* Pick(const std::array<const char*, 4>& texts, int code) {
    return texts[static_cast<std::size_t>(code & 3)];
}

}  // namespace

MpegAudioHeader DecodeMpegAudioHeader(std::span<const std::uint8_t> bytes) {
    BitReader bits(bytes);
    MpegAudioHeader h;
    bits.Skip(11);  // the sync bits are not examined
    h.versionId = static_cast<int>(bits.Read(2));
    h.layerCode = static_cast<int>(bits.Read(2));
    h.protectionBit = static_cast<int>(bits.Read(1));
    h.bitrateIndex = static_cast<int>(bits.Read(4));
    h.samplingIndex = static_cast<int>(bits.Read(2));
    h.paddingBit = static_cast<int>(bits.Read(1));
    bits.Skip(1);  // private bit
    h.channelMode = static_cast<int>(bits.Read(2));
    bits.Skip(2);  // mode extension
    h.copyrightBit = static_cast<int>(bits.Read(1));
    h.originalBit = static_cast<int>(bits.Read(1));
    h.emphasis = static_cast<int>(bits.Read(2));
    h.bitrate = BitRate(h);
    h.samplingRate = SamplingRate(h);
    return h;
}

std::int32_t MpegAudioFrameLength(const MpegAudioHeader& h) {
    if (h.samplingRate <= 0) {
        return 0;
    }
    const long double ratio = static_cast<long double>(h.bitrate) / h.samplingRate;
    switch (h.layerCode) {
        case 3:  // Layer I counts 4-byte slots
            return 4 * RoundToInt32(12.0L * ratio);
        case 2:
        case 1:
            // 144 also for MPEG-2 Layer III, whose nominal length then spans two frames; the
            // padding slot never enters the length.
            return RoundToInt32(144.0L * ratio);
        default:
            return 0;
    }
}

std::string MpegAudioReport(const MpegAudioHeader& h, std::int32_t frameLength) {
    std::string report;
    report += std::string("MPEG Version: ") +
              Pick({"2.5\r\n", "reserved\r\n", "2\r\n", "1\r\n"}, h.versionId);
    report +=
        std::string("Layer: ") + Pick({"reserved\r\n", "3\r\n", "2\r\n", "1\r\n"}, h.layerCode);
    report += std::string("Protected: ") + (h.protectionBit == 1 ? "None\r\n" : "CRC\r\n");
    report += "Bitrate: " + std::to_string(h.bitrate) + "\r\n";
    report += "Samplingrate: " + std::to_string(h.samplingRate) + "\r\n";
    report += std::string("Padding:") + (h.paddingBit == 1 ? "On\r\n" : "Off\r\n");
    report += std::string("Mode: ") +
              Pick({"Stereo\r\n", "Joint Stereo\r\n", "Dual Channel\r\n", "Single Channel\r\n"},
                   h.channelMode);
    report += std::string("Copyright: ") + (h.copyrightBit == 0 ? "No\r\n" : "Yes\r\n");
    report += std::string("Original: ") + (h.originalBit == 0 ? "No\r\n" : "Yes\r\n");
    report += std::string("Emphasis: ") +
              Pick({"None\r\n", "50/15 ms\r\n", "?\r\n", "CCIT J.17\r\n"}, h.emphasis);
    if (h.samplingRate > 0) {
        report += "Framelength: " + std::to_string(frameLength) + "\r\n";
    }
    report += "\r\n";
    return report;
}

}  // namespace velmora
