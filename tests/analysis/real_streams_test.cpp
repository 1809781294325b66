// Streams that no one here wrote: ffmpeg encodes them, ffprobe counts them, and the analysis
// must agree.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "analysis/analyse_source.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::ScratchDir;
using test::ShellQuote;

struct Probe {
    std::int64_t sampleRate = 0;
    std::int64_t bitRate = 0;
    std::int64_t frames = 0;
};

// ffprobe's view of the one audio stream: sample rate, bit rate and the packet count.
Probe RunProbe(const std::string& file, const std::string& format) {
    const auto r = test::RunCommand("ffprobe -v error -f " + format +
                                    " -count_packets -select_streams a:0 -show_entries "
                                    "stream=sample_rate,bit_rate,nb_read_packets"
                                    " -of default=noprint_wrappers=1 " +
                                    ShellQuote(file));
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    Probe probe;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, eq);
        const std::int64_t value = std::atoll(line.c_str() + eq + 1);
        if (key == "sample_rate") {
            probe.sampleRate = value;
        } else if (key == "bit_rate") {
            probe.bitRate = value;
        } else if (key == "nb_read_packets") {
            probe.frames = value;
        }
    }
    return probe;
}

// The frame count the report states on its Length line.
std::int64_t ReportedFrames(const std::string& report) {
    const auto at = report.find("Length: ");
    return at == std::string::npos ? -1 : std::atoll(report.c_str() + at + 8);
}

struct StreamCase {
    const char* name;
    const char* file;
    const char* encode;  // ffmpeg output options
    const char* probeFormat;
    FileType type;
    bool fixedFrameLength;  // every frame has the first frame's length
};

class RealStreams : public testing::TestWithParam<StreamCase> {};

TEST_P(RealStreams, AgreeWithFfprobe) {
    if (!test::HaveFfmpeg()) {
        return;
    }
    const StreamCase& c = GetParam();
    ScratchDir dir;
    const std::string file = dir.File(c.file);
    const auto enc = test::RunCommand(
        "ffmpeg -nostdin -v error -f lavfi -i 'sine=frequency=440:duration=3.3' -ac 2 " +
        std::string(c.encode) + " -y " + ShellQuote(file));
    ASSERT_EQ(enc.exitStatus, 0) << enc.err;

    const Probe probe = RunProbe(file, c.probeFormat);
    const SourceAnalysis a = AnalyseSource(file, c.type);
    ASSERT_TRUE(a.report.has_value());
    ASSERT_GT(a.info.FrameLength, 0) << *a.report;
    const std::int64_t length = static_cast<std::int64_t>(std::filesystem::file_size(file));

    if (c.type == FileType::MpegAudio) {
        EXPECT_NE(a.report->find("Samplingrate: " + std::to_string(probe.sampleRate) + "\r\n"),
                  std::string::npos)
            << *a.report;
        EXPECT_NE(a.report->find("Bitrate: " + std::to_string(probe.bitRate) + "\r\n"),
                  std::string::npos)
            << *a.report;
        // MPEG reports carry no frame count; the length must divide the file all the same.
        if (c.fixedFrameLength) {
            EXPECT_EQ(length % a.info.FrameLength, 0);
            EXPECT_EQ(length / a.info.FrameLength, probe.frames);
        }
        return;
    }

    const std::string khz =
        probe.sampleRate == 44100 ? "44.1" : std::to_string(probe.sampleRate / 1000);
    EXPECT_NE(a.report->find("Sampling rate: " + khz + " kHz\r\n"), std::string::npos) << *a.report;
    // DTS's 1411.2 kbit/s code is held as 1411, so compare whole kbit/s.
    EXPECT_EQ(a.info.NominalBitRate, probe.bitRate / 1000);
    const std::int64_t frames = ReportedFrames(*a.report);
    if (c.fixedFrameLength) {
        EXPECT_EQ(frames, probe.frames) << *a.report;
        EXPECT_EQ(a.report->find("WARNING"), std::string::npos);
    } else {
        // At 44.1 kHz frames are one 16-bit word longer or shorter than the first, so the
        // count taken from the first frame's length may be off by at most 2 bytes per frame.
        const double bound =
            std::ceil(2.0 * static_cast<double>(probe.frames) / a.info.FrameLength) + 1;
        EXPECT_LE(std::abs(static_cast<double>(frames - probe.frames)), bound)
            << "ffprobe " << probe.frames << ", report " << frames;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Encoded, RealStreams,
    testing::Values(
        StreamCase{"Ac3_48k_448_51", "a.ac3", "-ac 6 -ar 48000 -c:a ac3 -b:a 448k", "ac3",
                   FileType::Ac3, true},
        StreamCase{"Ac3_48k_192_20", "b.ac3", "-ar 48000 -c:a ac3 -b:a 192k", "ac3", FileType::Ac3,
                   true},
        StreamCase{"Ac3_48k_640_51", "c.ac3", "-ac 6 -ar 48000 -c:a ac3 -b:a 640k", "ac3",
                   FileType::Ac3, true},
        StreamCase{"Ac3_32k_96_20", "d.ac3", "-ar 32000 -c:a ac3 -b:a 96k", "ac3", FileType::Ac3,
                   true},
        StreamCase{"Ac3_44k_192_20", "e.ac3", "-ar 44100 -c:a ac3 -b:a 192k", "ac3", FileType::Ac3,
                   false},
        StreamCase{"Ac3_44k_448_51", "f.ac3", "-ac 6 -ar 44100 -c:a ac3 -b:a 448k", "ac3",
                   FileType::Ac3, false},
        StreamCase{"Mp2_48k_192", "g.mpa", "-ar 48000 -c:a mp2 -b:a 192k -f mp2", "mp3",
                   FileType::MpegAudio, true},
        StreamCase{"Mp2_24k_64", "h.mpa", "-ar 24000 -c:a mp2 -b:a 64k -f mp2", "mp3",
                   FileType::MpegAudio, true},
        StreamCase{"Mp3_48k_128", "i.mpa",
                   "-ar 48000 -c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0 -f mp3",
                   "mp3", FileType::MpegAudio, true},
        StreamCase{"Mp3_24k_64", "j.mpa",
                   "-ar 24000 -c:a libmp3lame -b:a 64k -write_xing 0 -id3v2_version 0 -f mp3",
                   "mp3", FileType::MpegAudio, false},
        StreamCase{"Mp3_44k_128", "k.mpa",
                   "-ar 44100 -c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0 -f mp3",
                   "mp3", FileType::MpegAudio, false},
        StreamCase{"Dts_48k", "l.dts", "-ar 48000 -c:a dca -strict -2 -f dts", "dts", FileType::Dts,
                   true},
        StreamCase{"Dts_44k", "m.dts", "-ar 44100 -c:a dca -strict -2 -f dts", "dts", FileType::Dts,
                   true}),
    [](const testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmora
