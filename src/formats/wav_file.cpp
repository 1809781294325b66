// RIFF/WAVE files and their 64-bit forms: the chunk walk and the sample format.
#include "formats/wav_file.h"

#include <algorithm>

#include "common/byte_order.h"

namespace velmora {

namespace {

// The extensible subformat GUID's tail, shared by every WAVE_FORMAT_* subformat.
constexpr std::uint8_t kSubformatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// More chunks than any writer makes: a file of tiny ones would be walked for ever.
constexpr std::size_t kMostChunks = 4096;

std::string Id(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
}

std::string FormatFault(const WavFormat& f) {
    if (f.tag != kWavPcm && f.tag != kWavFloat) {
        switch (f.tag) {
            case 6:
                return "Its samples are A-law, not PCM";
            case 7:
                return "Its samples are mu-law, not PCM";
            default:
                return "Its samples are coded (WAVE format " + std::to_string(f.tag) +
                       "), not PCM";
        }
    }
    const bool pcmBits = f.tag == kWavPcm && (f.bits == 8 || f.bits == 16 || f.bits == 24 ||
                                              f.bits == 32);
    const bool floatBits = f.tag == kWavFloat && (f.bits == 32 || f.bits == 64);
    if (!pcmBits && !floatBits) {
        return "Its samples have " + std::to_string(f.bits) + " bits, which is not read";
    }
    if (f.channels < 1 || f.samplingRate < 1 || f.blockAlign != f.channels * f.bits / 8) {
        return "Its format chunk is damaged";
    }
    return {};
}

WavFormat ReadFormat(const std::vector<std::uint8_t>& body) {
    WavFormat f;
    f.tag = body[0] | body[1] << 8;
    f.channels = body[2] | body[3] << 8;
    f.samplingRate = static_cast<std::int32_t>(Le32(&body[4]) & 0x7FFFFFFF);
    f.blockAlign = body[12] | body[13] << 8;
    f.bits = body[14] | body[15] << 8;
    if (f.tag == kWavExtensible && body.size() >= 40) {
        f.extensible = true;
        const std::uint32_t sub = body[24] | body[25] << 8;
        bool known = true;
        for (std::size_t i = 0; i < sizeof kSubformatTail; ++i) {
            known = known && body[26 + i] == kSubformatTail[i];
        }
        f.tag = known ? sub : 0xFFFF;
    }
    return f;
}

}  // namespace

bool LooksLikeWav(const std::vector<std::uint8_t>& start) {
    if (start.size() < 12) {
        return false;
    }
    const std::string form = Id(start, 0);
    return (form == "RIFF" || form == "RF64" || form == "BW64") && Id(start, 8) == "WAVE";
}

WavLayout ReadWavLayout(const ReadAt& read, std::int64_t length) {
    WavLayout layout;
    const std::vector<std::uint8_t> head = read(0, 12);
    if (!LooksLikeWav(head)) {
        layout.fault = "It is no WAVE file (no RIFF, RF64 or BW64 header)";
        return layout;
    }
    layout.form = Id(head, 0);
    std::uint64_t ds64Data = 0;
    bool haveFormat = false;
    bool haveData = false;
    for (std::int64_t at = 12; at + 8 <= length;) {
        const std::vector<std::uint8_t> header = read(at, 8);
        WavChunk chunk{Id(header, 0), at, Le32(&header[4])};
        // Chunk ids are printable: anything else is damage or padding, where the chunks end.
        const auto printable = [](char c) { return c >= ' ' && c <= '~'; };
        if (!std::all_of(chunk.id.begin(), chunk.id.end(), printable) ||
            layout.chunks.size() >= kMostChunks) {
            break;
        }
        if (chunk.id == "ds64" && layout.chunks.empty() && chunk.size >= 24) {
            ds64Data = Le64(&read(at + 16, 8)[0]);
        }
        if (chunk.id == "data" && layout.form != "RIFF" && chunk.size == kWavSizeInDs64) {
            chunk.size = static_cast<std::int64_t>(ds64Data & 0x7FFFFFFFFFFFFFFF);
        }
        if (chunk.id == "fmt " && !haveFormat && chunk.size >= 16) {
            layout.format = ReadFormat(read(at + 8, static_cast<std::size_t>(
                                                        std::min<std::int64_t>(chunk.size, 40))));
            haveFormat = true;
        }
        if (chunk.id == "data" && !haveData) {
            haveData = true;
            layout.dataIndex = layout.chunks.size();
            chunk.size = std::min(chunk.size, length - at - 8);
        }
        if (at + 8 + chunk.size > length) {
            // A chunk cut off at the end is no chunk; what it held stays out.
            break;
        }
        layout.chunks.push_back(chunk);
        at += chunk.Stride();
    }
    if (!haveFormat || !haveData) {
        layout.fault = !haveFormat ? "It has no format chunk" : "It has no data chunk";
        return layout;
    }
    layout.fault = FormatFault(layout.format);
    const WavChunk& data = layout.chunks[layout.dataIndex];
    layout.dataStart = data.offset + 8;
    layout.dataBytes = layout.fault.empty() ? data.size - data.size % layout.format.blockAlign : 0;
    return layout;
}

std::string WavSampleText(const WavFormat& format) {
    return std::string(format.tag == kWavFloat ? "IEEE float, " : "PCM, ") +
           std::to_string(format.bits) + " bit";
}

}  // namespace velmora
