// AnalyseSource on files built byte by byte: the report text and StreamInfo.
#include "analysis/analyse_source.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace velmora {
namespace {

using test::Bytes;
using test::ScratchDir;
namespace fs = std::filesystem;

// A file of `length` bytes that starts with the given header bytes.
std::string MakeSource(const ScratchDir& dir, const std::string& name, Bytes header,
                       std::uint64_t length) {
    const std::string path = dir.File(name);
    header.resize(std::min<std::uint64_t>(header.size(), length));
    test::WriteFile(path, header);
    fs::resize_file(path, length);
    return path;
}

const Bytes kAc3_448 = {0x0B, 0x77, 0x00, 0x00, 0x1E};  // 48 kHz, frmsizecod 30
const Bytes kAc3_44k_512 = {0x0B, 0x77, 0x00, 0x00, 0x5E, 0x40};  // 44.1 kHz, frmsizecod 30
const Bytes kDts_1536 = {0x7F, 0xFE, 0x80, 0x01, 0xFC, 0x3C, 0x7D, 0xC2, 0x77, 0x00};
// 8 kHz mono A-law in a RIFF header for a 4000-byte file.
const Bytes kALawWav = {'R', 'I', 'F', 'F', 0x98, 0x0F, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't',
                        ' ', 16, 0, 0, 0, 6, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0,
                        8, 0, 'd', 'a', 't', 'a', 0x74, 0x0F, 0, 0};

TEST(AnalyseSource, FullAc3Report) {
    ScratchDir dir;
    const auto source = MakeSource(dir, "film.ac3", kAc3_448, 3'360'000);
    const SourceAnalysis a = AnalyseSource(source, FileType::Ac3);
    ASSERT_TRUE(a.report.has_value());
    EXPECT_EQ(*a.report,
              "Source file information:\r\n"
              "\r\n"
              "Sampling rate: 48 kHz\r\n"
              "Nominal bit rate: 448 kbps\r\n"
              "Framelength: 0x0700\r\n"
              "Length: 1875frames (00:01:00,000)\r\n"
              "There are 31.25 frames in one second.\r\n");
    EXPECT_EQ(a.info.FrameLength, 1792);
    EXPECT_EQ(a.info.NominalBitRate, 448);
    EXPECT_EQ(a.info.FramesPerSecond, 31.25f);
    EXPECT_EQ(a.info.SilentFrame.size(), 1792U);
    EXPECT_FALSE(a.info.SilentFrameLoaded);
    ASSERT_EQ(a.info.FirstUnit.size(), 1792U);
    EXPECT_EQ(a.info.FirstUnit[4], 0x1E);
}

TEST(AnalyseSource, RemainderRules) {
    const std::string warning =
        "WARNING> Filelength is not OK.\r\nWARNING> Possible corrupted file or\r\n"
        "WARNING> last frame is too short.\r\n";
    const struct {
        Bytes header;
        std::uint64_t length;
        const char* lengthLine;
        bool warned;
    } rows[] = {
        {kAc3_448, 10 * 1792, "Length: 10frames (00:00:00,320)\r\n", false},
        {kAc3_448, 10 * 1792 + 1, "Length: 10frames (00:00:00,320)\r\n", true},
        {kAc3_448, 10 * 1792 + 897, "Length: 11frames (00:00:00,352)\r\n", true},
        // 10.5 and 11.5 frames round to the even count.
        {kAc3_448, 10 * 1792 + 896, "Length: 10frames (00:00:00,320)\r\n", true},
        {kAc3_448, 11 * 1792 + 896, "Length: 12frames (00:00:00,384)\r\n", true},
        {kAc3_448, 100, "Length: 0frames (00:00:00,000)\r\n", true},
        // 44.1 kHz frames are 1950 or 1952 bytes: a length no mix of them reaches is warned of.
        {kAc3_44k_512, 10 * 1950 + 2, "Length: 10frames (00:00:00,348)\r\n", false},
        {kAc3_44k_512, 10 * 1950 + 1, "Length: 10frames (00:00:00,348)\r\n", true},
    };
    ScratchDir dir;
    for (const auto& row : rows) {
        const auto source = MakeSource(dir, "r.ac3", row.header, row.length);
        const std::string report = *AnalyseSource(source, FileType::Ac3).report;
        SCOPED_TRACE(row.length);
        EXPECT_NE(report.find(std::string("\r\n") + row.lengthLine +
                              (row.warned ? warning : "") + "There are "),
                  std::string::npos)
            << report;
    }
}

TEST(AnalyseSource, SyncFailures) {
    ScratchDir dir;
    const auto ac3 = MakeSource(dir, "bad.ac3", {0x77, 0x0B, 0, 0, 0x1E}, 5000);
    SourceAnalysis a = AnalyseSource(ac3, FileType::Ac3);
    EXPECT_EQ(*a.report, "Source file information:\r\n\r\nNo AC3 information, or header corrupt.");
    EXPECT_EQ(a.info.FrameLength, 0);
    EXPECT_EQ(a.info.NominalBitRate, 0);
    EXPECT_TRUE(a.info.SilentFrame.empty());

    // The type comes from the name alone: a DTS stream named .ac3 fails the AC-3 test.
    const auto dtsAsAc3 = MakeSource(dir, "dts.ac3", kDts_1536, 5000);
    EXPECT_EQ(*AnalyseSource(dtsAsAc3, FileType::Ac3).report,
              "Source file information:\r\n\r\nNo AC3 information, or header corrupt.");
    a = AnalyseSource(ac3, FileType::Dts);
    EXPECT_EQ(*a.report,
              "Source file information:\r\n\r\nNo DTS information, or header corrupt.\r\n");
    EXPECT_EQ(a.info.FrameLength, 0);
}

TEST(AnalyseSource, ShortFilesReadMissingBytesAsZero) {
    ScratchDir dir;
    for (std::uint64_t length = 0; length < 10; ++length) {
        SCOPED_TRACE(length);
        const auto ac3 = MakeSource(dir, "short.ac3", kAc3_448, length);
        const SourceAnalysis a = AnalyseSource(ac3, FileType::Ac3);
        if (length < 2) {
            EXPECT_EQ(a.info.FrameLength, 0);
        } else {
            // 0B 77 then zeros: 48 kHz, code 0 until byte 4 is there.
            EXPECT_EQ(a.info.FrameLength, length >= 5 ? 1792 : 128);
        }
        // The first unit as the file holds it, zero-filled.
        EXPECT_EQ(a.info.FirstUnit.size(), static_cast<std::size_t>(a.info.FrameLength));
        EXPECT_EQ(a.info.FirstUnit.size() > 4 ? a.info.FirstUnit[4] : 0, length >= 5 ? 0x1E : 0);
        const auto dts = MakeSource(dir, "short.dts", kDts_1536, length);
        // Without the sampling-rate code (byte 8) the frames cannot be timed.
        EXPECT_EQ(AnalyseSource(dts, FileType::Dts).info.FrameLength, length >= 9 ? 2013 : 0);
    }
}

TEST(AnalyseSource, MissingSourceLeavesNoReport) {
    ScratchDir dir;
    for (FileType type : {FileType::Ac3, FileType::MpegAudio, FileType::Dts}) {
        const SourceAnalysis a = AnalyseSource(dir.File("nothing.ac3"), type);
        EXPECT_FALSE(a.report.has_value());
        EXPECT_EQ(a.info.FrameLength, 0);
        EXPECT_EQ(a.info.FramesPerSecond, 0.0f);
        EXPECT_TRUE(a.info.FirstUnit.empty());
    }
    EXPECT_FALSE(AnalyseSource("", FileType::Ac3).report.has_value());
}

TEST(AnalyseSource, UnreadableSourceSaysWhy) {
    ScratchDir dir;
    fs::create_directory(dir.File("folder.ac3"));
    const SourceAnalysis a = AnalyseSource(dir.File("folder.ac3"), FileType::Ac3);
    ASSERT_TRUE(a.report.has_value());
    EXPECT_EQ(*a.report,
              "Source file information:\r\n\r\nSource file cannot be read: it is a folder, not a "
              "file.\r\n");
    EXPECT_EQ(a.info.FrameLength, 0);
}

TEST(AnalyseSource, DtsReportsAndMarkers) {
    ScratchDir dir;
    // 16 blocks of 32 samples at 48 kHz: 93.75 frames per second, whatever RATE says.
    const auto dts = MakeSource(dir, "a.dts", kDts_1536, 2013 * 100);
    SourceAnalysis a = AnalyseSource(dts, FileType::Dts);
    EXPECT_EQ(*a.report,
              "Source file information:\r\n\r\n"
              "Sampling rate: 48 kHz\r\n"
              "Nominal bit rate: 1536 kbps\r\n"
              "Length: 100frames (00:00:01,067)\r\n"
              "There are 93.75 frames in one second.\r\n");
    EXPECT_EQ(a.info.FrameLength, 2013);
    EXPECT_EQ(a.info.FramesPerSecond, 93.75f);
    EXPECT_EQ(a.info.SamplesPerFrame, 512);

    Bytes open = kDts_1536;
    open[9] = 0xA0;  // RATE 29: open
    a = AnalyseSource(MakeSource(dir, "open.dts", open, 2013 * 100), FileType::Dts);
    EXPECT_EQ(a.info.NominalBitRate, -1);
    EXPECT_NE(a.report->find("Nominal bit rate: open\r\nLength: 100frames (00:00:01,067)\r\n"),
              std::string::npos);

    Bytes noRate = kDts_1536;
    noRate[8] = 0x43;  // SFREQ 0: no sampling rate, so no timing
    a = AnalyseSource(MakeSource(dir, "norate.dts", noRate, 2013 * 100), FileType::Dts);
    EXPECT_EQ(a.info.FrameLength, 0);
    EXPECT_NE(a.info.Unusable, "");
    EXPECT_NE(a.report->find(a.info.Unusable), std::string::npos);
}

TEST(AnalyseSource, UnusableAc3Codes) {
    ScratchDir dir;
    SourceAnalysis a =
        AnalyseSource(MakeSource(dir, "r.ac3", {0x0B, 0x77, 0, 0, 0xC0}, 9000), FileType::Ac3);
    EXPECT_EQ(*a.report,
              "Source file information:\r\n\r\n"
              "Sampling rate: reserved kHz\r\n"
              "Nominal bit rate: 32 kbps\r\n"
              "Framelength: 0x0000\r\n"
              "There are 0 frames in one second.\r\n");
    EXPECT_EQ(a.info.FrameLength, 0);
    a = AnalyseSource(MakeSource(dir, "c.ac3", {0x0B, 0x77, 0, 0, 0x26}, 9000), FileType::Ac3);
    EXPECT_EQ(*a.report,
              "Source file information:\r\n\r\n"
              "Sampling rate: 48 kHz\r\n"
              "Nominal bit rate: 0 kbps\r\n"
              "Framelength: 0x0000\r\n"
              "There are 0 frames in one second.\r\n");
}

TEST(AnalyseSource, RatesOfOtherSamplingFrequencies) {
    ScratchDir dir;
    const std::string warning = "WARNING> Filelength is not OK.";
    // At 44.1 kHz frames alternate between the two sizes of a pair (834 and 836 bytes at
    // 192 kbit/s): the count comes from their average, and a length that many such frames
    // can have draws no warning.
    const struct {
        std::uint8_t fifthByte;
        std::uint64_t length;
        const char* lines;
        bool warned;
        std::uint8_t bsidByte = 0x40;  // bsid 8
    } rows[] = {
        {0x80 | 28, 50000, "There are 20.833334 frames in one second.\r\n", true},
        // bsid 9: the same codes at half the sampling rate, so half the frames per second.
        {0x1E, 10 * 1792,
         "Sampling rate: 24 kHz\r\nNominal bit rate: 224 kbps\r\nFramelength: 0x0700\r\n"
         "Length: 10frames (00:00:00,640)\r\nThere are 15.625 frames in one second.\r\n",
         false, 0x48},
        {0x40 | 20, 5 * 834 + 5 * 836,
         "Framelength: 0x0342\r\nLength: 10frames (00:00:00,348)\r\n"
         "There are 28.710938 frames in one second.\r\n",
         false},
        {0x40 | 21, 5 * 834 + 5 * 836, "Framelength: 0x0344\r\nLength: 10frames", false},
        {0x40 | 21, 10 * 836 + 1, "Length: 10frames", true},
    };
    for (const auto& row : rows) {
        const SourceAnalysis a = AnalyseSource(
            MakeSource(dir, "x.ac3", {0x0B, 0x77, 0, 0, row.fifthByte, row.bsidByte}, row.length),
            FileType::Ac3);
        EXPECT_NE(a.report->find(row.lines), std::string::npos) << *a.report;
        EXPECT_EQ(a.report->find(warning) != std::string::npos, row.warned) << *a.report;
    }
}

TEST(AnalyseSource, MpegAudioReport) {
    ScratchDir dir;
    const SourceAnalysis a = AnalyseSource(
        MakeSource(dir, "a.mpa", {0xFF, 0xFD, 0xA4, 0x00, 0x44}, 576 * 10), FileType::MpegAudio);
    EXPECT_EQ(*a.report,
              "Source file information:\r\n\r\n"
              "MPEG Version: 1\r\nLayer: 2\r\nProtected: None\r\nBitrate: 192000\r\n"
              "Samplingrate: 48000\r\nPadding:Off\r\nMode: Stereo\r\nCopyright: No\r\n"
              "Original: No\r\nEmphasis: None\r\nFramelength: 576\r\n\r\n");
    EXPECT_EQ(a.info.FrameLength, 576);
    EXPECT_EQ(a.info.FramesPerSecond, 41.666668f);
    EXPECT_EQ(a.info.NominalBitRate, 0);
    ASSERT_EQ(a.info.FirstUnit.size(), 576U);
    EXPECT_EQ(a.info.FirstUnit[4], 0x44);
}

// Streams that cannot be corrected say why, in the report and for the writer's message.
TEST(AnalyseSource, UncorrectableStreamsSayWhy) {
    ScratchDir dir;
    const struct {
        const char* name;
        Bytes start;
        FileType type;
        const char* reason;
    } rows[] = {
        {"ll.dts", {0x64, 0x58, 0x20, 0x25, 0, 0, 0, 0, 0, 0}, FileType::Dts, "no core frames"},
        {"c.dts", {'D', 'T', 'S', 'H', 'D', 'H', 'D', 'R', 0, 0}, FileType::Dts, "DTSHDHDR"},
        {"c.dtshd", {'D', 'T', 'S', 'H', 'D', 'H', 'D', 'R', 0, 0}, FileType::Ac3, "DTSHDHDR"},
        {"free.mp3", {0xFF, 0xFB, 0x04, 0x00}, FileType::MpegAudio, "Free-format"},
        {"alaw.wav", kALawWav, FileType::Wav, "A-law, not PCM"},
        // The format chunk fills the file: no samples.
        {"nodata.wav", Bytes(kALawWav.begin(), kALawWav.begin() + 36), FileType::Wav,
         "no data chunk"},
    };
    for (const auto& row : rows) {
        const SourceAnalysis a =
            AnalyseSource(MakeSource(dir, row.name, row.start, 4000), row.type);
        EXPECT_EQ(a.info.FrameLength, 0) << row.name;
        EXPECT_NE(a.info.Unusable.find(row.reason), std::string::npos) << row.name;
        EXPECT_NE(a.report->find(a.info.Unusable + ".\r\n"), std::string::npos) << *a.report;
    }
}

TEST(AnalyseSource, SourcesOverTwoGibibytes) {
    ScratchDir dir;
    // Sparse: the length is what matters, not the content.
    const std::uint64_t frames = 2'000'000;  // 3.58 GB at 1792 bytes
    const auto source = MakeSource(dir, "big.ac3", kAc3_448, frames * 1792);
    const SourceAnalysis a = AnalyseSource(source, FileType::Ac3);
    EXPECT_NE(a.report->find("Length: 2000000frames (17:46:40,000)\r\nThere are"),
              std::string::npos)
        << *a.report;
    fs::remove(source);
}

}  // namespace
}  // namespace velmora
