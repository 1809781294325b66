// Reads the first frame header of a source and describes the stream.
#include "analysis/analyse_source.h"

#include <algorithm>
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
#include "common/number_text.h"
#include "formats/mpeg_info_frame.h"
#include "formats/mpeg_tags.h"

namespace velmora {

namespace {

constexpr const char* kReportHeading = "Source file information:\r\n\r\n";
// Enough for an info frame and the header of the frame after it.
constexpr std::size_t kFirstFramesBytes = 8192;
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
        if (std::filesystem::is_directory(name, ec)) {
            error_ = "it is a folder, not a file";
            return;
        }
        const std::uintmax_t size = std::filesystem::file_size(name, ec);
        if (ec) {
            error_ = ec.message();
            return;
        }
        length_ = static_cast<std::int64_t>(size);
        errno = 0;
        file_.reset(std::fopen(name.c_str(), "rb"));
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
        static_cast<void>(std::fread(bytes.data(), 1, count, file_.get()));
        if (std::ferror(file_.get()) && error_.empty()) {
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

std::string AnalyseAc3(SourceReader& source, StreamInfo& info) {
    const std::vector<std::uint8_t> bytes = source.Read(0, kAc3HeaderBytes);
    const Ac3Header header = DecodeAc3Header(bytes);
    if (!Ac3SyncOk(header)) {
        return "No AC3 information, or header corrupt.";
    }
    std::string lines = Ac3SamplingRateLine(header.fscod);
    info.NominalBitRate = Ac3BitRate(header.frmsizecod);
    lines += Ac3BitRateLine(info.NominalBitRate);
    info.FrameLength = Ac3FrameLength(header.fscod, header.frmsizecod);
    if (info.FrameLength > 0) {
        SetTiming(info, Ac3SamplingRate(header.fscod), kAc3SamplesPerFrame);
    }
    lines += Ac3FrameLengthLine(info.FrameLength);
    info.AudioEnd = source.Length();
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
    const std::vector<std::uint8_t> bytes = source.Read(0, kDtsHeaderBytes);
    const DtsHeader header = DecodeDtsHeader(bytes);
    if (!DtsSyncOk(header)) {
        return "No DTS information, or header corrupt.\r\n";
    }
    std::string lines = DtsSamplingRateLine(header.samplingFrequency);
    info.NominalBitRate = DtsBitRate(header.bitRate);
    lines += DtsBitRateLine(header.bitRate);
    info.FrameLength = DtsFrameLength(header);
    SetTiming(info, DtsSamplingRate(header.samplingFrequency), DtsSamplesPerFrame(header));
    if (info.FrameLength == 0) {
        info.Unusable = "The sampling rate code of the DTS header has no rate";
    }
    info.AudioEnd = source.Length();
    if (info.FrameLength > 0) {
        lines += LengthLines(source.Length(), ConstantSize(info.FrameLength), info);
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
        info.Unusable = "Free-format MPEG audio has no bit rate in its header and cannot be corrected";
    }
    return MpegAudioReport(header, info.FrameLength);
}

}  // namespace

SourceAnalysis AnalyseSource(const std::string& sourceName, FileType fileType) {
    SourceAnalysis analysis;
    std::error_code ec;
    if (!sourceName.empty() && std::filesystem::exists(sourceName, ec)) {
        SourceReader source(sourceName);
        std::string report = kReportHeading;
        if (!source.Error().empty()) {
            // Nothing usable was read: FrameLength stays 0, so Write stays disabled.
            report += CannotReadLine(source.Error());
            analysis.info.Unusable = "Source file cannot be read: " + source.Error();
        } else {
            analysis.fifthByte = source.Read(0, 5)[4];
            switch (fileType) {
                case FileType::Dts:
                    report += AnalyseDts(source, analysis.info);
                    break;
                case FileType::MpegAudio:
                    report += AnalyseMpegAudio(source, analysis.info, analysis.fifthByte);
                    break;
                case FileType::Ac3:
                    report += AnalyseAc3(source, analysis.info);
                    break;
            }
            if (!analysis.info.Unusable.empty()) {
                report += analysis.info.Unusable + ".\r\n";
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
