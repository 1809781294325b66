// Reads the first frame header of a source and describes the stream.
#include "analysis/analyse_source.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "analysis/ac3_header.h"
#include "analysis/dts_header.h"
#include "analysis/mpeg_audio_header.h"
#include "analysis/report_text.h"
#include "common/file_names.h"
#include "common/number_text.h"
#include "formats/dts_substream.h"
#include "formats/eac3_frame.h"
#include "formats/frame_facts.h"
#include "formats/mpeg_info_frame.h"
#include "formats/mpeg_tags.h"

namespace velmora {

namespace {

// Enough for an info frame and the header of the frame after it, or for an E-AC-3 unit.
constexpr std::size_t kFirstFramesBytes = 36864;
// The longest DTS core frame and the header of an extension substream after it.
constexpr std::size_t kFirstDtsUnitBytes = 16384 + 16;
// ID3v2 tags may be repeated; more than this is no tag but damage.
constexpr int kMaxLeadingTags = 8;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The few places of the source the analysis looks at, read without scanning the file.
class SourceReader {
  public:
    explicit SourceReader(const std::string& name) {
        std::error_code ec;
        if (std::filesystem::is_directory(PathFromUtf8(name), ec)) {
            error_ = "it is a folder, not a file";
            return;
        }
        const std::uintmax_t size = std::filesystem::file_size(PathFromUtf8(name), ec);
        if (ec) {
            error_ = ec.message();
            return;
        }
        length_ = static_cast<std::int64_t>(size);
        errno = 0;
        file_.reset(OpenForReading(name));
        if (!file_) {
            error_ = std::strerror(errno);
        }
    }

    // `count` bytes from `offset`, zero-filled where the file has none.
    [[nodiscard]] std::vector<std::uint8_t> Read(std::int64_t offset, std::size_t count) {
        std::vector<std::uint8_t> bytes(count, 0);
        if (!file_ || offset < 0 || offset >= length_ ||
            fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) {
            return bytes;
        }
        // A short read past the end leaves zeros; only an error is worth a word.
        if (std::fread(bytes.data(), 1, count, file_.get()) < count && std::ferror(file_.get()) &&
            error_.empty()) {
            error_ = std::strerror(errno != 0 ? errno : EIO);
        }
        return bytes;
    }

    [[nodiscard]] std::int64_t Length() const { return length_; }
    // Why the file could not be read; empty when it could.
    [[nodiscard]] const std::string& Error() const { return error_; }

  private:
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::int64_t length_ = 0;
    std::string error_;
};

std::string CannotReadLine(const std::string& reason) {
    return "Source file cannot be read: " + reason + ".\r\n";
}

// Frames per second from the samples a frame holds: exact for every format, whatever its
// bit rate says.
void SetTiming(StreamInfo& info, std::int32_t samplingRate, std::int32_t samplesPerFrame) {
    info.SamplingRate = samplingRate;
    info.SamplesPerFrame = samplesPerFrame;
    if (samplingRate > 0 && samplesPerFrame > 0) {
        info.FramesPerSecond =
            static_cast<float>(static_cast<long double>(samplingRate) / samplesPerFrame);
    } else {
        // Without a rate the stream cannot be timed, so it cannot be corrected.
        info.FrameLength = 0;
        info.FramesPerSecond = 0.0f;
    }
}

// The Length line and, when the file cannot be a whole number of frames, the warning.
// Frames of one stream may differ in length (44.1 kHz AC-3 alternates two sizes), so the
// count comes from the average length and the warning only from lengths outside the range
// that many frames can have.
struct FrameSizes {
    long double average = 0;
    std::int64_t shortest = 0;
    std::int64_t longest = 0;
};

std::string LengthLines(std::int64_t fileLength, const FrameSizes& sizes, StreamInfo& info) {
    const std::int64_t frames = RoundToInt64(static_cast<long double>(fileLength) / sizes.average);
    info.EstimatedFrames = frames;
    info.FrameCountExact = sizes.shortest == sizes.longest;
    std::string lines = "Length: " + std::to_string(frames) + "frames (" +
                        FramesToTime(frames, info.FramesPerSecond) + ")\r\n";
    if (fileLength < frames * sizes.shortest || fileLength > frames * sizes.longest) {
        lines +=
            "WARNING> Filelength is not OK.\r\n"
            "WARNING> Possible corrupted file or\r\n"
            "WARNING> last frame is too short.\r\n";
    }
    return lines;
}

FrameSizes ConstantSize(std::int32_t frameLength) {
    return FrameSizes{static_cast<long double>(frameLength), frameLength, frameLength};
}

// "48", "44.1", "22.05": a sampling rate in kHz as the reports write it.
std::string KilohertzText(std::int32_t rate) {
    std::string text = std::to_string(rate / 1000);
    if (rate % 1000 != 0) {
        std::string fraction = std::to_string(rate % 1000);
        fraction.insert(0, 3 - fraction.size(), '0');
        text += "." + fraction.substr(0, fraction.find_last_not_of('0') + 1);
    }
    return text;
}

// "1.0", "2.0", "5.1": channels in front and behind, then the low-frequency channel.
std::string ChannelText(int acmod, int lfeon) {
    static constexpr std::array<const char*, 8> kLayouts = {
        "1+1", "1.", "2.", "3.", "2/1.", "3/1.", "2/2.", "5."};
    const std::string layout = kLayouts[static_cast<std::size_t>(acmod & 7)];
    if (acmod == 0) {
        return lfeon != 0 ? layout + ".1" : layout;
    }
    return layout + (lfeon != 0 ? "1" : "0");
}

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
        lines += LengthLines(fileLength, ConstantSize(info.FrameLength), info);
        info.FrameCountExact = false;  // units need not all have one size
    }
    return lines + FrameRateSentence(info.FramesPerSecond) + "\r\n";
}

std::string AnalyseAc3(SourceReader& source, StreamInfo& info) {
    const std::vector<std::uint8_t> bytes = source.Read(0, kFirstFramesBytes);
    const Ac3Header header = DecodeAc3Header(bytes);
    if (!Ac3SyncOk(header)) {
        return "No AC3 information, or header corrupt.";
    }
    info.AudioEnd = source.Length();
    const int bsid = AnyAc3Bsid(bytes);
    const FrameFacts facts = ReadFrameFacts(FileType::Ac3, bytes);
    if (facts.syncOk && facts.length > 0 &&
        (IsEac3Bsid(bsid) || facts.length != Ac3FrameLength(header.fscod, header.frmsizecod))) {
        return Eac3Report(std::span(bytes).first(std::min<std::size_t>(
                              bytes.size(), static_cast<std::size_t>(facts.length))),
                          facts, source.Length(), info);
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
        lines += LengthLines(source.Length(),
                             even == odd ? ConstantSize(info.FrameLength)
                                         : FrameSizes{average, even, odd},
                             info);
    }
    return lines + FrameRateSentence(info.FramesPerSecond) + "\r\n";
}

std::string AnalyseDts(SourceReader& source, StreamInfo& info) {
    const std::vector<std::uint8_t> bytes = source.Read(0, kFirstDtsUnitBytes);
    const DtsHeader header = DecodeDtsHeader(bytes);
    if (!DtsSyncOk(header)) {
        if (DtsSubstreamLength(bytes) > 0) {
            info.Unusable =
                "This DTS-HD stream has no core frames (lossless only), and only streams with "
                "core frames can be corrected";
        }
        return "No DTS information, or header corrupt.\r\n";
    }
    std::string lines = DtsSamplingRateLine(header.samplingFrequency);
    info.NominalBitRate = DtsBitRate(header.bitRate);
    lines += DtsBitRateLine(header.bitRate);
    // In DTS-HD an extension substream follows every core frame; both are one unit.
    const FrameFacts facts = ReadFrameFacts(FileType::Dts, bytes);
    const std::int64_t extension = facts.length - DtsFrameLength(header);
    if (extension > 0) {
        lines += "DTS-HD extension: " + std::to_string(extension) + " bytes per frame\r\n";
    }
    info.FrameLength = static_cast<std::int32_t>(facts.length);
    SetTiming(info, DtsSamplingRate(header.samplingFrequency), DtsSamplesPerFrame(header));
    if (info.FrameLength == 0) {
        info.Unusable = "The sampling rate code of the DTS header has no rate, so the frames cannot be timed";
    }
    info.AudioEnd = source.Length();
    if (info.FrameLength > 0) {
        lines += LengthLines(source.Length(), ConstantSize(info.FrameLength), info);
        // An extension substream's size may change from frame to frame.
        info.FrameCountExact = info.FrameCountExact && extension == 0;
    }
    return lines + FrameRateSentence(info.FramesPerSecond) + "\r\n";
}

std::string AnalyseMpegAudio(SourceReader& source, StreamInfo& info, std::uint8_t& fifthByte) {
    // Tags are not frames: the frames start after any ID3v2 tags and end before ID3v1 and
    // APEv2 tags; the writer copies the tags as they are.
    std::int64_t audioStart = 0;
    for (int tags = 0; tags < kMaxLeadingTags; ++tags) {
        const std::int64_t tag = Id3v2TagBytes(source.Read(audioStart, kId3v2HeaderBytes));
        if (tag == 0 || audioStart + tag > source.Length()) {
            break;
        }
        audioStart += tag;
    }
    const std::int64_t tailStart =
        std::max(audioStart, source.Length() - static_cast<std::int64_t>(kTrailingTagProbeBytes));
    const std::vector<std::uint8_t> tail = source.Read(
        tailStart, static_cast<std::size_t>(source.Length() - tailStart));
    info.AudioStart = audioStart;
    info.AudioEnd = source.Length() - TrailingTagBytes(tail, source.Length() - audioStart);

    const std::vector<std::uint8_t> first = source.Read(audioStart, kFirstFramesBytes);
    MpegAudioHeader header = DecodeMpegAudioHeader(first);
    const std::int32_t firstLength = MpegAudioFrameLength(header);
    std::size_t audioFrameAt = 0;
    if (MpegAudioSyncOk(header) && firstLength > 0 &&
        static_cast<std::size_t>(firstLength) + kMpegAudioHeaderBytes <= first.size() &&
        FindMpegInfoTag(std::span(first).first(static_cast<std::size_t>(firstLength)), header)) {
        // The report and the frame length describe the first frame that holds audio.
        const MpegAudioHeader next =
            DecodeMpegAudioHeader(std::span(first).subspan(static_cast<std::size_t>(firstLength)));
        if (MpegAudioSyncOk(next)) {
            info.InfoFrameLength = firstLength;
            audioFrameAt = static_cast<std::size_t>(firstLength);
            header = next;
        }
    }
    fifthByte = first[audioFrameAt + 4];
    if (header.samplingRate > 0) {
        info.FrameLength = MpegAudioFrameLength(header);
    }
    if (info.FrameLength > 0) {
        SetTiming(info, header.samplingRate, MpegAudioSamplesPerFrame(header));
        info.EstimatedFrames =
            (info.AudioEnd - info.AudioStart - info.InfoFrameLength) / info.FrameLength;
    }
    if (header.bitrateIndex == 0 && header.samplingRate > 0 && header.layerCode != 0) {
        info.Unusable = "Free-format MPEG audio has no bit rate in its header, so its frames cannot be "
                        "measured";
    }
    return MpegAudioReport(header, info.FrameLength);
}

}  // namespace

SourceAnalysis AnalyseSource(const std::string& sourceName, FileType fileType) {
    SourceAnalysis analysis;
    if (FileExists(sourceName)) {
        SourceReader source(sourceName);
        std::string report(kSourceInformationHeading);
        if (!source.Error().empty()) {
            // Nothing usable was read: FrameLength stays 0, so Write stays disabled.
            report += CannotReadLine(source.Error());
            analysis.info.Unusable = "Source file cannot be read: " + source.Error();
        } else {
            const std::vector<std::uint8_t> start = source.Read(0, 8);
            analysis.fifthByte = start[4];
            if (std::string(start.begin(), start.end()) == "DTSHDHDR") {
                // The chunked DTS-HD file format, not a raw stream: its chunks would have to be
                // rewritten, which Velmora does not do.
                analysis.info.Unusable =
                    "It is a DTS-HD file in chunks (it starts with DTSHDHDR), not a raw DTS "
                    "stream";
            }
            switch (analysis.info.Unusable.empty() ? fileType : FileType::Unknown) {
                case FileType::Dts:
                    report += AnalyseDts(source, analysis.info);
                    break;
                case FileType::MpegAudio:
                    report += AnalyseMpegAudio(source, analysis.info, analysis.fifthByte);
                    break;
                case FileType::Ac3:
                    report += AnalyseAc3(source, analysis.info);
                    break;
                default:
                    break;
            }
            if (!analysis.info.Unusable.empty()) {
                report += analysis.info.Unusable + ".\r\n";
            }
            if (analysis.info.FrameLength > 0) {
                analysis.info.FirstUnit =
                    source.Read(analysis.info.AudioStart + analysis.info.InfoFrameLength,
                                static_cast<std::size_t>(analysis.info.FrameLength));
            }
        }
        analysis.report = std::move(report);
    }
    // Room for one frame; the silent-frame loader fills it when a template matches.
    analysis.info.SilentFrame.assign(
        static_cast<std::size_t>(std::max<std::int32_t>(analysis.info.FrameLength, 0)), 0);
    return analysis;
}

}  // namespace velmora
