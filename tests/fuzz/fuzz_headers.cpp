// Fuzz target: the three frame-header decoders and the source analysis on arbitrary bytes.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "analysis/analyse_source.h"
#include "formats/format_table.h"
#include "formats/frame_facts.h"
#include "fuzz_scratch.h"
#include "report/ac3_source_lines.h"
#include "report/dts_source_lines.h"
#include "report/mpeg_audio_source_lines.h"

namespace {

using velmora::fuzz::Require;

constexpr std::string_view kReportHeading = "Source file information:\r\n\r\n";

bool EndsWithLineBreak(const std::string& text) {
    return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

// The first `count` bytes of the input, zero-filled when the input is shorter: what a
// decoder must see when it is handed a short span ("missing bytes read as 0").
template <std::size_t count>
std::array<std::uint8_t, count> Padded(std::span<const std::uint8_t> bytes) {
    std::array<std::uint8_t, count> padded{};
    std::copy_n(bytes.begin(), std::min(count, bytes.size()), padded.begin());
    return padded;
}

void CheckAc3(std::span<const std::uint8_t> bytes) {
    const velmora::Ac3Header header = velmora::DecodeAc3Header(bytes);
    const velmora::Ac3Header padded =
        velmora::DecodeAc3Header(Padded<velmora::kAc3HeaderBytes>(bytes));
    Require(header.syncWord == padded.syncWord && header.crc1 == padded.crc1 &&
                header.fscod == padded.fscod && header.frmsizecod == padded.frmsizecod,
            "AC-3: a short span decodes as if zero-filled");
    Require(header.fscod >= 0 && header.fscod <= 3, "AC-3: fscod is two bits");
    Require(header.frmsizecod >= 0 && header.frmsizecod <= 63, "AC-3: frmsizecod is six bits");

    const std::int32_t kbps = velmora::Ac3BitRate(header.frmsizecod);
    const std::int32_t frameLength = velmora::Ac3FrameLength(header.fscod, header.frmsizecod);
    Require(kbps >= 0 && kbps <= 640, "AC-3: nominal rates run from 0 to 640 kbit/s");
    Require(frameLength >= 0 && frameLength <= 3840 && frameLength % 2 == 0,
            "AC-3: a frame is whole 16-bit words, at most 1920 of them");
    Require((frameLength == 0) == (header.fscod == 3 || header.frmsizecod > 37),
            "AC-3: exactly the codes without a table row give no frame length");
    Require(EndsWithLineBreak(velmora::Ac3SamplingRateLine(header.fscod)) &&
                EndsWithLineBreak(velmora::Ac3BitRateLine(kbps)) &&
                EndsWithLineBreak(velmora::Ac3FrameLengthLine(frameLength)),
            "AC-3: every report line ends in CR LF");
    // Out-of-range codes are refused by the lookups rather than read past their tables.
    Require(velmora::Ac3BitRate(header.frmsizecod + 64) == 0 &&
                velmora::Ac3BitRate(-1 - header.frmsizecod) == 0 &&
                velmora::Ac3FrameLength(header.fscod + 4, header.frmsizecod) == 0 &&
                velmora::Ac3FrameLength(-1 - header.fscod, header.frmsizecod) == 0,
            "AC-3: lookups outside the tables give 0");
}

void CheckDts(std::span<const std::uint8_t> bytes) {
    const velmora::DtsHeader header = velmora::DecodeDtsHeader(bytes);
    const velmora::DtsHeader padded =
        velmora::DecodeDtsHeader(Padded<velmora::kDtsHeaderBytes>(bytes));
    Require(header.syncWord == padded.syncWord && header.frameSize == padded.frameSize &&
                header.samplingFrequency == padded.samplingFrequency &&
                header.bitRate == padded.bitRate &&
                header.channelArrangement == padded.channelArrangement,
            "DTS: a short span decodes as if zero-filled");
    Require(header.frameSize >= 0 && header.frameSize < (1 << 14), "DTS: FSIZE is 14 bits");
    Require(header.bitRate >= 0 && header.bitRate < 32, "DTS: RATE is 5 bits");
    Require(header.samplingFrequency >= 0 && header.samplingFrequency < 16, "DTS: SFREQ is 4 bits");

    const std::int32_t frameLength = velmora::DtsFrameLength(header);
    Require(frameLength >= 1 && frameLength <= (1 << 14), "DTS: FSIZE + 1 is never 0");
    const std::int32_t kbps = velmora::DtsBitRate(header.bitRate);
    Require(kbps >= -3 && kbps <= 4096, "DTS: a rate or one of the three markers");
    Require(EndsWithLineBreak(velmora::DtsSamplingRateLine(header.samplingFrequency)) &&
                EndsWithLineBreak(velmora::DtsBitRateLine(header.bitRate)),
            "DTS: every report line ends in CR LF");
    Require(velmora::DtsBitRate(header.bitRate + 32) == 0 &&
                velmora::DtsBitRate(-1 - header.bitRate) == 0,
            "DTS: rate codes outside the table give 0");
    Require(EndsWithLineBreak(velmora::DtsSamplingRateLine(header.samplingFrequency + 16)) &&
                EndsWithLineBreak(velmora::DtsSamplingRateLine(-1 - header.samplingFrequency)),
            "DTS: sampling codes outside the table still give a line");
}

void CheckMpegAudio(std::span<const std::uint8_t> bytes) {
    const velmora::MpegAudioHeader header = velmora::DecodeMpegAudioHeader(bytes);
    const velmora::MpegAudioHeader padded =
        velmora::DecodeMpegAudioHeader(Padded<velmora::kMpegAudioHeaderBytes>(bytes));
    Require(header.versionId == padded.versionId && header.layerCode == padded.layerCode &&
                header.bitrateIndex == padded.bitrateIndex &&
                header.samplingIndex == padded.samplingIndex && header.bitrate == padded.bitrate &&
                header.samplingRate == padded.samplingRate,
            "MPEG audio: a short span decodes as if zero-filled");
    Require(header.versionId >= 0 && header.versionId <= 3 && header.layerCode >= 0 &&
                header.layerCode <= 3 && header.bitrateIndex >= 0 && header.bitrateIndex <= 15 &&
                header.samplingIndex >= 0 && header.samplingIndex <= 3 && header.emphasis >= 0 &&
                header.emphasis <= 3,
            "MPEG audio: every field within its bit width");
    Require(header.bitrate >= 0 && header.bitrate <= 448000 && header.samplingRate >= 0 &&
                header.samplingRate <= 48000,
            "MPEG audio: derived rates within the standards' tables");

    const std::int32_t frameLength = velmora::MpegAudioFrameLength(header);
    Require(frameLength >= 0, "MPEG audio: a frame length is never negative");
    // The report is also asked for with lengths the decoder would never give.
    for (const std::int32_t length :
         {frameLength, std::int32_t{0}, std::int32_t{-1}, std::int32_t{2147483647}}) {
        Require(EndsWithLineBreak(velmora::MpegAudioReport(header, length)),
                "MPEG audio: the report ends in CR LF");
    }
}

// The analysis of the same bytes as a file must agree with the decoders on their own.
void CheckAnalysis(const std::string& fileName, std::span<const std::uint8_t> bytes,
                   velmora::FileType fileType) {
    const velmora::SourceAnalysis analysis = velmora::AnalyseSource(fileName, fileType);
    Require(analysis.report.has_value(), "analysis: an existing file always gets a report");
    Require(analysis.report->starts_with(kReportHeading),
            "analysis: the report starts with its heading");
    const velmora::StreamInfo& info = analysis.info;
    Require(info.FrameLength >= 0, "analysis: FrameLength is never negative");
    Require(info.SilentFrame.size() == static_cast<std::size_t>(info.FrameLength),
            "analysis: SilentFrame has room for exactly one frame");
    Require(!info.SilentFrameLoaded, "analysis: only the loader marks a silent frame");
    Require(info.FirstUnit.size() == static_cast<std::size_t>(info.FrameLength),
            "analysis: the first unit, which silence is made to match, is one frame long");

    // AC-3 and DTS: the frame length is the first unit's, as the writer reads it from the
    // bytes the analysis reads, whenever that unit is a frame that can be timed.
    if (fileType == velmora::FileType::Ac3 || fileType == velmora::FileType::Dts) {
        const std::size_t analysed = fileType == velmora::FileType::Ac3 ? 36864 : 16384 + 16;
        const velmora::FrameFacts facts =
            velmora::ReadFrameFacts(fileType, bytes.first(std::min(bytes.size(), analysed)));
        const bool chunked =
            bytes.size() >= 8 && std::string_view(reinterpret_cast<const char*>(bytes.data()), 8) ==
                                     "DTSHDHDR";
        if (!chunked && facts.syncOk && facts.length > 0 && facts.samplingRate > 0) {
            Require(info.FrameLength == facts.length,
                    "analysis: the frame length is the first unit's");
        }
    }
    if (info.FrameLength == 0) {
        Require(info.FramesPerSecond == 0.0f, "analysis: no frame length, no frame rate");
    }
}

// What the writer walks by: a unit's facts, E-AC-3 dependent frames and DTS-HD extension
// substreams included.
void CheckFrameFacts(std::span<const std::uint8_t> bytes) {
    for (const velmora::FileType fileType :
         {velmora::FileType::Ac3, velmora::FileType::MpegAudio, velmora::FileType::Dts}) {
        const velmora::FrameFacts facts = velmora::ReadFrameFacts(fileType, bytes);
        Require(facts.length >= 0, "frame facts: a unit is never of negative length");
        Require(facts.samples >= 0 && facts.samples <= 128 * 32,
                "frame facts: a unit holds at most 4096 samples");
        Require(facts.samplingRate >= 0 && facts.samplingRate <= 48000,
                "frame facts: sampling rates run up to 48 kHz");
        // A unit that fits, and holds its own header, reads the same from exactly its bytes.
        if (facts.syncOk && facts.length >= 16 &&
            static_cast<std::size_t>(facts.length) <= bytes.size()) {
            const velmora::FrameFacts alone = velmora::ReadFrameFacts(
                fileType, bytes.first(static_cast<std::size_t>(facts.length)));
            Require(alone.syncOk && alone.length <= facts.length,
                    "frame facts: a unit does not need bytes past its end");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    CheckAc3(bytes);
    CheckDts(bytes);
    CheckMpegAudio(bytes);
    CheckFrameFacts(bytes);

    // The analysis reads at most ten bytes and takes the rest from the length, so the file
    // holds the whole input: the length lines and the short-frame warning see it too.
    const std::string fileName = (velmora::fuzz::ScratchFolder() / "source.bin").string();
    if (!velmora::fuzz::WriteBytes(fileName, data, size)) {
        return 0;
    }
    for (const velmora::FileType fileType :
         {velmora::FileType::Ac3, velmora::FileType::MpegAudio, velmora::FileType::Dts,
          velmora::FileType::Aac, velmora::FileType::Wav}) {
        CheckAnalysis(fileName, bytes, fileType);
    }
    velmora::fuzz::ClearScratchFolder();
    return 0;
}
