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

#include "analysis/ac3_header.h"
#include "analysis/dts_header.h"
#include "analysis/mpeg_audio_header.h"
#include "analysis/number_text.h"
#include "analysis/report_text.h"

namespace velmora {

namespace {

struct HeaderRead {
    // Zero-filled, so bytes a short file does not supply read as 0.
    std::array<std::uint8_t, 10> bytes{};
    std::uint64_t fileLength = 0;
    // Why the file could not be read; empty when it could.
    std::string error;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

HeaderRead ReadHeader(const std::string& name, std::size_t count) {
    HeaderRead read;
    std::error_code ec;
    if (std::filesystem::is_directory(name, ec)) {
        read.error = "it is a folder, not a file";
        return read;
    }
    read.fileLength = std::filesystem::file_size(name, ec);
    if (ec) {
        read.error = ec.message();
        return read;
    }
    errno = 0;
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "rb"));
    if (!file) {
        read.error = std::strerror(errno);
        return read;
    }
    // A short file simply leaves the rest of the bytes at 0.
    std::fread(read.bytes.data(), 1, count, file.get());
    if (std::ferror(file.get())) {
        read.error = std::strerror(errno != 0 ? errno : EIO);
    }
    return read;
}

std::string CannotReadLine(const std::string& reason) {
    return "Source file cannot be read: " + reason + ".\r\n";
}

// FramesPerSecond from the nominal rate: kbit/s to bytes per second over bytes per frame,
// worked out in extended precision and kept in single precision.
float FrameRate(std::int32_t nominalBitRate, std::int32_t frameLength) {
    return static_cast<float>(static_cast<long double>(nominalBitRate) * 1000.0L /
                              (static_cast<long double>(frameLength) * 8.0L));
}

// The Length line and, when the file is not a whole number of frames, the warning.
std::string LengthLines(std::uint64_t fileLength, std::int32_t frameLength, float framesPerSecond) {
    const std::int64_t frames = RoundToInt64(static_cast<long double>(fileLength) / frameLength);
    std::string lines = "Length: " + std::to_string(frames) + "frames (" +
                        FramesToTime(frames, framesPerSecond) + ")\r\n";
    if (fileLength % static_cast<std::uint64_t>(frameLength) > 0) {
        lines +=
            "WARNING> Filelength is not OK.\r\n"
            "WARNING> Possible corrupted file or\r\n"
            "WARNING> last frame is too short.\r\n";
    }
    return lines;
}

// The lines that follow the type lines on the AC-3 and DTS paths.
std::string RateAndLengthLines(StreamInfo& info, std::uint64_t fileLength) {
    std::string lines;
    if (info.FrameLength > 0) {
        lines += LengthLines(fileLength, info.FrameLength, info.FramesPerSecond);
    }
    return lines + FrameRateSentence(info.FramesPerSecond) + "\r\n";
}

std::string AnalyseAc3(const HeaderRead& read, StreamInfo& info) {
    const Ac3Header header = DecodeAc3Header(std::span(read.bytes).first(kAc3HeaderBytes));
    if (!Ac3SyncOk(header)) {
        return "No AC3 information, or header corrupt.";
    }
    std::string lines = Ac3SamplingRateLine(header.fscod);
    info.NominalBitRate = Ac3BitRate(header.frmsizecod);
    lines += Ac3BitRateLine(info.NominalBitRate);
    info.FrameLength = Ac3FrameLength(header.fscod, header.frmsizecod);
    if (info.FrameLength > 0) {
        info.FramesPerSecond = FrameRate(info.NominalBitRate, info.FrameLength);
    }
    lines += Ac3FrameLengthLine(info.FrameLength);
    return lines + RateAndLengthLines(info, read.fileLength);
}

std::string AnalyseDts(const HeaderRead& read, StreamInfo& info) {
    const DtsHeader header = DecodeDtsHeader(std::span(read.bytes).first(kDtsHeaderBytes));
    if (!DtsSyncOk(header)) {
        return "No DTS information, or header corrupt.\r\n";
    }
    std::string lines = DtsSamplingRateLine(header.samplingFrequency);
    info.NominalBitRate = DtsBitRate(header.bitRate);
    lines += DtsBitRateLine(header.bitRate);
    info.FrameLength = DtsFrameLength(header);
    // Open, variable and lossless streams carry a negative marker rate into this formula;
    // the rate then comes out negative and the durations read 00:00:00,000.
    info.FramesPerSecond = FrameRate(info.NominalBitRate, info.FrameLength);
    return lines + RateAndLengthLines(info, read.fileLength);
}

std::string AnalyseMpegAudio(const HeaderRead& read, StreamInfo& info) {
    const MpegAudioHeader header =
        DecodeMpegAudioHeader(std::span(read.bytes).first(kMpegAudioHeaderBytes));
    if (header.samplingRate > 0) {
        info.FrameLength = MpegAudioFrameLength(header);
    }
    if (info.FrameLength > 0) {
        info.FramesPerSecond = static_cast<float>(static_cast<long double>(header.bitrate) /
                                                  (8.0L * info.FrameLength));
    }
    return MpegAudioReport(header, info.FrameLength);
}

}  // namespace

SourceAnalysis AnalyseSource(const std::string& sourceName, FileType fileType) {
    SourceAnalysis analysis;
    std::error_code ec;
    if (!sourceName.empty() && std::filesystem::exists(sourceName, ec)) {
        const std::size_t count = fileType == FileType::Dts ? kDtsHeaderBytes : kAc3HeaderBytes;
        const HeaderRead read = ReadHeader(sourceName, count);
        std::string report(kSourceInformationHeading);
        if (!read.error.empty()) {
            // Nothing usable was read: FrameLength stays 0, so Write stays disabled.
            report += CannotReadLine(read.error);
        } else {
            analysis.fifthByte = read.bytes[4];
            switch (fileType) {
                case FileType::Dts:
                    report += AnalyseDts(read, analysis.info);
                    break;
                case FileType::MpegAudio:
                    report += AnalyseMpegAudio(read, analysis.info);
                    break;
                case FileType::Ac3:
                    report += AnalyseAc3(read, analysis.info);
                    break;
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
