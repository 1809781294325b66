// Every stream format in one table. Built into the core, not with the header readers: its
// rows point at the analysis and at the silence builders.
#include "formats/format_table.h"

#include "analysis/format_analysis.h"
#include "formats/ac3_crc.h"
#include "formats/dts_substream.h"
#include "formats/mpeg_audio_frame.h"
#include "silence/silent_frames.h"

namespace velmora {

namespace {

constexpr std::array<FormatRow, 5> kFormats = {{
    {FileType::Ac3, "AC3", ".ac3", {".EAC3", ".EC3"}, "AC3-Files", "*.AC3;*.EAC3;*.EC3", true,
     FormatUnit::Frame, Ac3UnitFacts, false, AnalyseAc3, LoadAc3Silence, true, Ac3UnitCrcsHold,
     true, 2, false},
    {FileType::MpegAudio, "MPA", ".mpa", {".MP1", ".MP2", ".MP3", ".M2A"}, "MPA-Files",
     "*.MPA;*.MP1;*.MP2;*.MP3;*.M2A", true, FormatUnit::Frame, MpegAudioFacts, true,
     AnalyseMpegAudio, LoadMpegAudioSilence, false, MpegAudioCrcHolds, false, 2, false},
    {FileType::Dts, "DTS", ".dts", {}, "DTS-Files", "*.DTS", false, FormatUnit::Frame,
     DtsUnitFacts, false, AnalyseDts, LoadDtsSilence, false, DtsUnitCrcsHold, false, 4, false},
    // ADTS CRCs cover the first bits of every element, which only a full parse finds.
    {FileType::Aac, "AAC", ".aac", {".ADTS"}, "AAC-Files", "*.AAC;*.ADTS", true,
     FormatUnit::Frame, AacAdtsFacts, false, AnalyseAac, LoadAacSilence, false, nullptr, false,
     2, true},
    // No frames to read: the chunks say where the samples lie, and the writer adds zeros
    // whatever the check box says, since a repeated sample is no silence.
    {FileType::Wav, "WAV", ".wav", {".RF64", ".BW64"}, "WAV-Files", "*.WAV;*.RF64;*.BW64", true,
     FormatUnit::Sample, [](std::span<const std::uint8_t>) { return FrameFacts{}; }, false,
     AnalyseWav, nullptr, false, nullptr, false, 0, false},
}};

}  // namespace

std::span<const FormatRow> Formats() {
    return kFormats;
}

const FormatRow& FormatOf(FileType type) {
    for (const FormatRow& row : kFormats) {
        if (row.type == type) {
            return row;
        }
    }
    return kFormats[0];
}

FrameFacts ReadFrameFacts(FileType fileType, std::span<const std::uint8_t> bytes) {
    return FormatOf(fileType).readFacts(bytes);
}

FrameFacts FrameFactsReader::Read(std::span<const std::uint8_t> bytes) {
    if (!format_.factsFromFirstThreeBytes || bytes.size() < 3) {
        return format_.readFacts(bytes);
    }
    const auto header = static_cast<std::uint32_t>(bytes[0] << 16 | bytes[1] << 8 | bytes[2]);
    Remembered& slot = remembered_[bytes[2]];
    if (!slot.used || slot.header != header) {
        slot = {true, header, format_.readFacts(bytes)};
    }
    return slot.facts;
}

}  // namespace velmora
