// What the first AC-3 or E-AC-3 unit of a source says, for its report and its correction.
#include <algorithm>
#include <span>
#include <vector>

#include "analysis/format_analysis.h"
#include "analysis/stream_timing.h"
#include "common/number_text.h"
#include "formats/eac3_frame.h"
#include "formats/frame_facts.h"
#include "report/ac3_source_lines.h"
#include "report/report_text.h"

namespace velmora {

namespace {

// Enough for an E-AC-3 unit of several frames.
constexpr std::size_t kFirstFramesBytes = 36864;

// The report of a stream whose units are more than one AC-3 frame: E-AC-3, or AC-3 frames
// extended by E-AC-3 frames. It keeps the AC-3 report's form.
std::string Eac3Report(std::span<const std::uint8_t> unit, const FrameFacts& facts,
                       std::int64_t fileLength, StreamInfo& info) {
    const bool eac3 = IsEac3Bsid(AnyAc3Bsid(unit));
    const Eac3Header first = DecodeEac3Header(unit);
    int dependent = 0;
    int independent = 0;
    int acmod = first.acmod;
    int lfeon = first.lfeon;
    if (!eac3) {
        const Ac3Bsi bsi = DecodeAc3Bsi(unit);
        acmod = bsi.acmod;
        lfeon = bsi.lfeon;
    }
    for (std::size_t at = static_cast<std::size_t>(eac3 ? Eac3FrameLength(first)
                                                        : Ac3FrameLength(unit[4] >> 6, unit[4] & 0x3F));
         at + kEac3HeaderBytes <= unit.size();) {
        const Eac3Header next = DecodeEac3Header(unit.subspan(at));
        (next.strmtyp == 1 ? dependent : independent) += 1;
        at += static_cast<std::size_t>(Eac3FrameLength(next));
    }
    std::string format = std::string("Format: ") + (eac3 ? "E-AC-3" : "AC-3 with E-AC-3") + ", " +
                         ChannelText(acmod, lfeon);
    if (dependent > 0) {
        format += ", " + std::to_string(dependent) + " dependent substream" + (dependent > 1 ? "s" : "");
    }
    if (independent > 0) {
        format += ", " + std::to_string(independent + 1) + " independent substreams";
    }
    info.FrameLength = static_cast<std::int32_t>(facts.length);
    SetTiming(info, facts.samplingRate, facts.samples);
    const long double kbps = static_cast<long double>(facts.length) * 8.0L * facts.samplingRate /
                             std::max(facts.samples, 1) / 1000.0L;
    info.NominalBitRate = RoundToInt32(kbps);
    std::string lines = format + "\r\n";
    lines += "Sampling rate: " + KilohertzText(facts.samplingRate) + " kHz\r\n";
    lines += "Data rate: " + std::to_string(info.NominalBitRate) + " kbps\r\n";
    lines += Ac3FrameLengthLine(info.FrameLength);
    if (info.FrameLength > 0) {
        lines += CountedLengthLines(fileLength, ConstantSize(info.FrameLength), info);
        info.FrameCountExact = false;  // units need not all have one size
    }
    return lines + FrameRateSentence(info.FramesPerSecond) + "\r\n";
}

}  // namespace

std::string AnalyseAc3(SourceReader& source, StreamInfo& info) {
    const std::vector<std::uint8_t> bytes = source.Read(info.AudioStart, kFirstFramesBytes);
    const std::int64_t audioBytes = info.AudioEnd - info.AudioStart;
    const Ac3Header header = DecodeAc3Header(bytes);
    if (!Ac3SyncOk(header)) {
        return "No AC3 information, or header corrupt.";
    }
    const int bsid = AnyAc3Bsid(bytes);
    const FrameFacts facts = Ac3UnitFacts(bytes);
    if (facts.syncOk && facts.length > 0 &&
        (IsEac3Bsid(bsid) || facts.length != Ac3FrameLength(header.fscod, header.frmsizecod))) {
        return Eac3Report(std::span(bytes).first(std::min<std::size_t>(
                              bytes.size(), static_cast<std::size_t>(facts.length))),
                          facts, audioBytes, info);
    }
    // bsid 9 and 10 are AC-3 at half and quarter the rates that fscod names.
    const int rateShift = bsid == 9 || bsid == 10 ? bsid - 8 : 0;
    std::string lines = rateShift == 0 ? Ac3SamplingRateLine(header.fscod)
                                       : "Sampling rate: " +
                                             KilohertzText(Ac3SamplingRate(header.fscod) >> rateShift) +
                                             " kHz\r\n";
    info.NominalBitRate = Ac3BitRate(header.frmsizecod) >> rateShift;
    lines += Ac3BitRateLine(info.NominalBitRate);
    info.FrameLength = Ac3FrameLength(header.fscod, header.frmsizecod);
    if (info.FrameLength > 0) {
        SetTiming(info, Ac3SamplingRate(header.fscod) >> rateShift, kAc3SamplesPerFrame);
    }
    lines += Ac3FrameLengthLine(info.FrameLength);
    if (info.FrameLength > 0) {
        // Both codes of a pair share a bit rate; at 44.1 kHz their sizes differ by a word.
        const std::int64_t even = Ac3FrameLength(header.fscod, header.frmsizecod & ~1);
        const std::int64_t odd = Ac3FrameLength(header.fscod, header.frmsizecod | 1);
        const long double average = static_cast<long double>(info.NominalBitRate) * 1000.0L / 8.0L /
                                    info.FramesPerSecond;
        lines += CountedLengthLines(audioBytes,
                             even == odd ? ConstantSize(info.FrameLength)
                                         : FrameSizes{average, even, odd},
                             info);
    }
    return lines + FrameRateSentence(info.FramesPerSecond) + "\r\n";
}

}  // namespace velmora
