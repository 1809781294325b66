// Real streams with one damaged frame, through the built program: what is copied, what the
// report and standard error say, and the exit status.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "formats/format_table.h"
#include "silence/silent_mpeg_frame.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::Bytes;
using test::ShellQuote;

// Layer II as a broadcast writes it, with a CRC in every frame, which ffmpeg's encoder never
// sets: 48 kHz 192 kbit/s stereo frames from our own builder.
Bytes ProtectedLayerTwo() {
    SilentMpegFrameParams params;
    params.bitrateIndex = 10;
    params.samplingIndex = 1;
    params.bitRateKbps = 192;
    params.sampleRateHz = 48000;
    params.frameBytes = 576;
    params.protection = true;
    const auto frame = BuildSilentMpegFrame(params);
    Bytes stream;
    for (int n = 0; frame && n < 150; ++n) {
        stream.insert(stream.end(), frame->begin(), frame->end());
    }
    return stream;
}

// Where frame `index` (from 0) starts, found by the frames' own lengths.
std::size_t FrameStart(const Bytes& stream, FileType type, int index) {
    std::size_t at = 0;
    for (int n = 0; n < index; ++n) {
        at += static_cast<std::size_t>(ReadFrameFacts(type, std::span(stream).subspan(at)).length);
    }
    return at;
}

struct Row {
    const char* name;
    const char* extension;
    FileType type;
    const char* encoderOptions;  // ffmpeg options after a four-second 48 kHz tone, or
    std::function<Bytes()> build;  // a stream built here
    int sampleRate;
    // The line that names the 50th frame, whose payload is flipped; empty where the format
    // cannot see it (no CRC, or one that covers no samples).
    const char* crcLine;
};

const Row kRows[] = {
    {"AC-3 48 kHz", "ac3", FileType::Ac3, "-ac 6 -c:a ac3 -b:a 448k", {}, 48000,
     "Frame 50 at 00:00:01,568 has a CRC error: copied as it is."},
    {"AC-3 44.1 kHz", "ac3", FileType::Ac3, "-ac 2 -c:a ac3 -b:a 192k", {}, 44100,
     "Frame 50 at 00:00:01,707 has a CRC error: copied as it is."},
    {"E-AC-3", "eac3", FileType::Ac3, "-ac 2 -c:a eac3 -b:a 192k", {}, 48000,
     "Frame 50 at 00:00:01,568 has a CRC error: copied as it is."},
    {"MP2 with CRCs", "mp2", FileType::MpegAudio, "", ProtectedLayerTwo, 48000,
     "Frame 50 at 00:00:01,176 has a CRC error: copied as it is."},
    {"MP3 without CRCs", "mp3", FileType::MpegAudio, "-ac 2 -c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0", {},
     48000, ""},
    {"DTS", "dts", FileType::Dts, "-ac 2 -c:a dca -strict -2 -f dts", {}, 48000, ""},
};

TEST(DamagedStreams, AFrameWhoseOnlyFaultIsItsCrcIsCopiedAndNamed) {
    ASSERT_TRUE(test::HaveFfmpeg());
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        test::ScratchDir dir;
        const std::string source = dir.File(std::string("source.") + row.extension);
        if (row.build) {
            test::WriteFile(source, row.build());
        } else {
            const auto r = test::RunCommand(
                "ffmpeg -nostdin -v error -f lavfi -i 'sine=frequency=1000:duration=4:"
                "sample_rate=" + std::to_string(row.sampleRate) + "' " + row.encoderOptions +
                " -y " + ShellQuote(source));
            ASSERT_EQ(r.exitStatus, 0) << r.err;
        }
        Bytes bytes = test::ReadFile(source);
        // Payload bytes, past every header and, in MPEG audio, inside the bit allocation.
        const std::size_t at = FrameStart(bytes, row.type, 49) + (row.build ? 6 : 100);
        for (std::size_t n = at; n < at + (row.build ? 1 : 24); ++n) {
            bytes[n] ^= 0xA5;
        }
        test::WriteFile(source, bytes);

        const std::string target = dir.File(std::string("target.") + row.extension);
        const auto r = test::RunVelmora({"/Source", source, "/Target", target, "/Startdelay",
                                         "-20", "/Hidden"});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        // A frame or two are cut at the start, yet frames are counted in the source.
        const Bytes written = test::ReadFile(target);
        EXPECT_TRUE(written.size() < bytes.size() &&
                    std::equal(written.begin(), written.end(),
                               bytes.end() - static_cast<std::ptrdiff_t>(written.size())));
        const std::string line = row.crcLine;
        EXPECT_EQ(r.err, line.empty() ? "" : line + "\n");
        const std::string report = test::ReadTextFile(dir.File("target.txt"));
        EXPECT_EQ(report.find("CRC error") != std::string::npos, !line.empty()) << report;
        if (!line.empty()) {
            EXPECT_NE(report.find("have been written.\r\n" + line + "\r\n"), std::string::npos)
                << report;
        }
    }
}

}  // namespace
}  // namespace velmora
