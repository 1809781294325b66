// Real streams padded at the start with silence, judged by decoding the target: the silence
// is exact zeros in every channel, the stream's own audio follows unchanged, and the added
// bytes keep the stream's byte rate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <ostream>

#include "analysis/analyse_source.h"
#include "correction/aac_test_stream.h"
#include "correction/correction_plan.h"
#include "correction/dts_test_stream.h"
#include "correction/eac3_test_stream.h"
#include "correction/recording_observer.h"
#include "correction/target_writer.h"
#include "formats/ac3_frame.h"
#include "formats/dts_frame.h"
#include "formats/frame_facts.h"
#include "formats/ac3_crc.h"
#include "silence/silent_dts_frame.h"
#include "silence/silent_frames.h"
#include "silence/silent_mpeg_frame.h"
#include "silence/silent_sync_frame.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::Bytes;
using test::ShellQuote;

// Every frame of a 448 kbit/s 48 kHz stream gets the odd code of its pair (same size and bit
// rate), which ffmpeg's encoder never writes, and a crc1 that fits again.
void UseOddSizeCode(Bytes& stream) {
    for (std::size_t at = 0; at + 1792 <= stream.size(); at += 1792) {
        const std::span<std::uint8_t> frame(stream.data() + at, 1792);
        frame[4] = 0x1F;
        const std::uint16_t crc1 = Ac3Crc1Value(frame);
        frame[2] = static_cast<std::uint8_t>(crc1 >> 8);
        frame[3] = static_cast<std::uint8_t>(crc1);
    }
}

// bsid 9 (22.05 kHz: half the rate that fscod names), which ffmpeg cannot encode and which
// its encoder's frames do not survive being relabelled to (the bit allocation depends on the
// rate): 44.1 kHz 192 kbit/s stereo frames from our own builder, both sizes of the pair.
Bytes Bsid9Stream() {
    Bytes stream;
    for (int n = 0; n < 100; ++n) {
        SilentAc3FrameParams params;
        params.fscod = 1;
        params.frmsizecod = 20 + n % 2;
        params.bsid = 9;
        const auto frame = BuildSilentAc3Frame(params);
        if (!frame) {
            return {};
        }
        stream.insert(stream.end(), frame->bytes.begin(), frame->bytes.end());
    }
    return stream;
}

// 16-bit words stored low byte first, as some tools write AC-3.
void SwapBytes(Bytes& stream) {
    for (std::size_t at = 0; at + 1 < stream.size(); at += 2) {
        std::swap(stream[at], stream[at + 1]);
    }
}

// Layer I, which ffmpeg cannot encode: 48 kHz 384 kbit/s stereo frames from our own builder.
Bytes LayerOneStream() {
    SilentMpegFrameParams params;
    params.layerCode = 3;
    params.bitrateIndex = 12;
    params.samplingIndex = 1;
    params.bitRateKbps = 384;
    params.sampleRateHz = 48000;
    params.frameBytes = 384;
    return test::Repeated(BuildSilentMpegFrame(params).value_or(Bytes{}), 200);
}

struct Row {
    const char* name;
    const char* extension;
    FileType fileType;
    // ffmpeg options after a two-second tone at the row's rate, or a stream built here.
    int samplingRate;
    int channels;
    const char* encoderOptions;
    std::function<void(Bytes&)> patch;
    std::function<Bytes()> build;
    // Which stored template starts the target (offset into the table), or -1 for a built one.
    int storedAt = -1;
    // Bytes that ten silent frames at the start add, where the stream mixes two sizes.
    std::size_t tenFramesBytes = 0;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

const Row kRows[] = {
    {"Ac3_48k_51_448_StoredC", "ac3", FileType::Ac3, 48000, 6, "-c:a ac3 -b:a 448k", {}, {}, 2304},
    {"Ac3_48k_20_192_StoredA", "ac3", FileType::Ac3, 48000, 2, "-c:a ac3 -b:a 192k", {}, {}, 0},
    {"Ac3_48k_20_448", "ac3", FileType::Ac3, 48000, 2, "-c:a ac3 -b:a 448k", {}, {}},
    {"Ac3_48k_51_192", "ac3", FileType::Ac3, 48000, 6, "-c:a ac3 -b:a 192k", {}, {}},
    {"Ac3_48k_51_640", "ac3", FileType::Ac3, 48000, 6, "-c:a ac3 -b:a 640k", {}, {}},
    {"Ac3_48k_20_OddCode", "ac3", FileType::Ac3, 48000, 2, "-c:a ac3 -b:a 448k", UseOddSizeCode,
     {}},
    {"Ac3_44k_20_192", "ac3", FileType::Ac3, 44100, 2, "-c:a ac3 -b:a 192k", {}, {}, -1, 8360},
    {"Ac3_22k_20_Bsid9", "ac3", FileType::Ac3, 22050, 2, "", {}, Bsid9Stream},
    {"Ac3_48k_51_Swapped", "ac3", FileType::Ac3, 48000, 6, "-c:a ac3 -b:a 448k", SwapBytes, {}},
    {"Ac3_32k_10_96", "ac3", FileType::Ac3, 32000, 1, "-c:a ac3 -b:a 96k", {}, {}},
    {"Mp2_48k_Stereo", "mpa", FileType::MpegAudio, 48000, 2, "-c:a mp2 -b:a 192k -f mp2", {}, {}},
    {"Mp2_48k_Mono", "mpa", FileType::MpegAudio, 48000, 1, "-c:a mp2 -b:a 96k -f mp2", {}, {}},
    {"Mp2_44k_Stereo", "mp2", FileType::MpegAudio, 44100, 2, "-c:a mp2 -b:a 192k -f mp2", {}, {}},
    {"Mp2_44k_Mono", "mp2", FileType::MpegAudio, 44100, 1, "-c:a mp2 -b:a 64k -f mp2", {}, {}},
    {"Mp3_44k_128", "mp3", FileType::MpegAudio, 44100, 2, "-c:a libmp3lame -b:a 128k", {}, {}},
    {"Mp3_Mpeg2_24k", "mp3", FileType::MpegAudio, 24000, 2,
     "-c:a libmp3lame -b:a 64k -write_xing 0", {}, {}},
    {"Mp1_48k_Built", "mp1", FileType::MpegAudio, 48000, 2, "", {}, LayerOneStream},
    {"Eac3_48k_51_640", "eac3", FileType::Ac3, 48000, 6, "-c:a eac3 -b:a 640k", {}, {}},
    {"Eac3_44k_20_256", "eac3", FileType::Ac3, 44100, 2, "-c:a eac3 -b:a 256k", {}, {}},
    {"Eac3_48k_20_Swapped", "eac3", FileType::Ac3, 48000, 2, "-c:a eac3 -b:a 192k", SwapBytes, {}},
    {"Eac3_48k_71", "eac3", FileType::Ac3, 48000, 8, "-ac 6 -c:a eac3 -b:a 448k",
     [](Bytes& stream) { stream = test::WithDependentFrames(stream); }, {}},
    {"Dts_48k_20", "dts", FileType::Dts, 48000, 2, "-c:a dca -strict -2 -f dts", {}, {}},
    {"Dts_44k_10", "dts", FileType::Dts, 44100, 1, "-c:a dca -strict -2 -f dts", {}, {}},
    {"Dts_48k_51", "dts", FileType::Dts, 48000, 6, "-c:a dca -strict -2 -f dts", {}, {}},
    {"DtsHd_48k_20", "dts", FileType::Dts, 48000, 2, "-c:a dca -strict -2 -f dts",
     [](Bytes& stream) { stream = test::WithExtensionSubstreams(stream); }, {}},
    {"Aac_48k_20", "aac", FileType::Aac, 48000, 2, "-c:a aac -b:a 128k -f adts", {}, {}},
    {"Aac_48k_51", "aac", FileType::Aac, 48000, 6, "-c:a aac -f adts", {}, {}},
    {"Aac_44k_10", "adts", FileType::Aac, 44100, 1, "-c:a aac -f adts", {}, {}},
    {"Aac_48k_20_Crc", "aac", FileType::Aac, 48000, 2, "-c:a aac -f adts",
     [](Bytes& stream) { stream = test::WithAdtsCrc(stream); }, {}},
    {"Aac_48k_20_TwoBlocks", "aac", FileType::Aac, 48000, 2, "-c:a aac -f adts",
     [](Bytes& stream) { stream = test::WithTwoBlocks(stream); }, {}},
};

std::vector<std::int16_t> Decode(const std::string& file) {
    test::Decoded decoded = test::DecodeStrictly(file);
    EXPECT_EQ(decoded.exitStatus, 0) << decoded.errors;
    EXPECT_EQ(decoded.errors, "");
    return std::move(decoded.samples);
}

class SilenceEndToEnd : public testing::TestWithParam<Row> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::HaveFfmpeg());
        const Row& row = GetParam();
        source = dir.File(std::string("source.") + row.extension);
        if (row.build) {
            test::WriteFile(source, row.build());
        } else {
            const auto r = test::RunCommand(
                "ffmpeg -nostdin -v error -f lavfi -i 'sine=frequency=1000:duration=2:sample_rate=" +
                std::to_string(row.samplingRate) + "' -ac " + std::to_string(std::min(row.channels, 6)) + " " +
                row.encoderOptions + " -y " + ShellQuote(source));
            ASSERT_EQ(r.exitStatus, 0) << r.err;
        }
        if (row.patch) {
            Bytes bytes = test::ReadFile(source);
            row.patch(bytes);
            test::WriteFile(source, bytes);
        }
    }

    // Analyses and writes with a start delay (500 ms unless given), the check box as given.
    WriteResult Write(int addSilent, const std::string& target, StreamInfo& info,
                      std::int32_t startDelay = 500) {
        SourceAnalysis analysis = AnalyseSource(source, GetParam().fileType);
        LoadSilentFrame(analysis.info, GetParam().fileType, addSilent);
        info = analysis.info;
        observer.AppendInfo(*analysis.report);
        return WriteTarget({source, target, GetParam().fileType, startDelay, 0}, info, observer);
    }

    test::ScratchDir dir;
    std::string source;
    test::RecordingObserver observer;
};

TEST_P(SilenceEndToEnd, SilenceDecodesToZerosAndTheStreamFollowsUnchanged) {
    const Row& row = GetParam();
    const std::string target = dir.File(std::string("silent.") + row.extension);
    StreamInfo info;
    ASSERT_EQ(Write(1, target, info).outcome, WriteOutcome::Complete);
    ASSERT_TRUE(info.SilentFrameLoaded);
    const std::int64_t added = MakeCorrectionPlan(500, 0, info).plan.addStartFrames;
    EXPECT_NE(observer.InfoText().find(std::to_string(added) + " silent frames ("),
              std::string::npos);

    const std::vector<std::int16_t> in = Decode(source);
    const std::vector<std::int16_t> out = Decode(target);
    const auto silent =
        static_cast<std::size_t>(added * info.SamplesPerFrame * row.channels);
    ASSERT_EQ(out.size(), in.size() + silent);
    EXPECT_TRUE(std::all_of(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(silent),
                            [](std::int16_t s) { return s == 0; }));
    EXPECT_TRUE(std::equal(in.begin(), in.end(), out.begin() + static_cast<std::ptrdiff_t>(silent)));

    // The added bytes are what the stream's bit rate gives for that time, to one slot.
    const Bytes sourceBytes = test::ReadFile(source);
    const Bytes targetBytes = test::ReadFile(target);
    const double perFrame = info.SilentFrameLong.empty()
                                ? static_cast<double>(info.SilentFrame.size())
                                : info.SilentFrameAverage;
    EXPECT_LE(std::abs(static_cast<double>(targetBytes.size() - sourceBytes.size()) -
                       static_cast<double>(added) * perFrame),
              4.0);
    // The silence is in the stream's own layout; the stored frames where they fit.
    const auto first = targetBytes.begin() + info.AudioStart + info.InfoFrameLength;
    if (row.storedAt >= 0) {
        EXPECT_TRUE(std::equal(first, first + static_cast<std::ptrdiff_t>(info.SilentFrame.size()),
                               SilentFrameTemplates.begin() + row.storedAt));
    } else if (row.fileType == FileType::Ac3 && !info.ByteSwapped &&
               !IsEac3Bsid(AnyAc3Bsid(sourceBytes))) {
        const Ac3Bsi want = DecodeAc3Bsi(sourceBytes);
        const Ac3Bsi got = DecodeAc3Bsi(std::span(&*first, 16));
        EXPECT_EQ(got.acmod, want.acmod);
        EXPECT_EQ(got.lfeon, want.lfeon);
        // The stream's own size code; at 44.1 kHz either code of its pair.
        const std::uint8_t pairBit = info.SilentFrameLong.empty() ? 0 : 1;
        EXPECT_EQ(first[4] | pairBit, sourceBytes[4] | pairBit);
        EXPECT_EQ(got.bsid, want.bsid);
    }
    if (row.tenFramesBytes > 0) {
        // 348 ms are 9.99 frames at 44.1 kHz: ten frames, in whole words at the byte rate.
        const std::string ten = dir.File(std::string("ten.") + row.extension);
        ASSERT_EQ(Write(1, ten, info, 348).outcome, WriteOutcome::Complete);
        EXPECT_EQ(test::ReadFile(ten).size() - sourceBytes.size(), row.tenFramesBytes);
    }
    EXPECT_EQ(info.ByteSwapped, std::string(row.name).ends_with("_Swapped"));
    if (row.fileType == FileType::Dts) {
        // Header CRCs (HCRC inserted after HFLAG), a time stamp and auxiliary data are not
        // the silent frame's: it is the one just decoded.
        Bytes marked(sourceBytes.begin(), sourceBytes.begin() + info.FrameLength);
        marked[4] |= 0x02;
        marked[9] |= 0x06;
        marked.insert(marked.begin() + 11, {0x5A, 0xA5});
        EXPECT_EQ(BuildSilentDtsFrame(marked), info.SilentFrame);
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, SilenceEndToEnd, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& info) {
                             return std::string(info.param.name);
                         });

// Every DTS frame marked as a termination frame (FTYPE 0), whose shortened length the
// silent frame cannot give.
void MarkTermination(Bytes& stream) {
    for (std::size_t at = 0; at + kDtsHeaderBytes <= stream.size();) {
        const auto length = static_cast<std::size_t>(DtsFrameLength(
            DecodeDtsHeader(std::span(stream).subspan(at, kDtsHeaderBytes))));
        stream[at + 4] &= 0x7F;
        at += length;
    }
}

// Without the check box, and where no silent frame can be built (DTS termination frames,
// AAC with SBR or with its channels in a program config element), the frames added at the
// start repeat the stream's first frame; only the second is said.
TEST(SilenceCopies, RepeatTheFirstFrameAndAreSaidWhereSilenceWasAsked) {
    ASSERT_TRUE(test::HaveFfmpeg());
    const struct {
        const char* file;
        const char* options;
        FileType type;
        int checkBox;
        const char* addedLine;
        const char* notice;
        void (*patch)(Bytes&);
        const char* sourceLine = nullptr;
    } rows[] = {
        {"tone.ac3", "-ac 6 -c:a ac3 -b:a 448k", FileType::Ac3, 0,
         "16 frames (512ms) have been added at start.\r\n", nullptr, nullptr},
        {"tone.dts", "-ac 2 -c:a dca -strict -2 -f dts", FileType::Dts, 1,
         "47 frames (501ms) have been added at start.\r\n",
         "47 frames added at the start are copies of the first frame: no silent frame can be "
         "built for this stream.",
         MarkTermination},
        {"tone.aac", "-ac 2 -c:a aac -f adts", FileType::Aac, 1,
         "23 frames (491ms) have been added at start.\r\n",
         "23 frames added at the start are copies of the first frame: no silent frame can be "
         "built for this stream.",
         test::WithSbrFill, "Format: HE-AAC (AAC LC with SBR, MPEG-4, ADTS)\r\n"},
        {"pce.aac", "-ac 2 -c:a aac -f adts", FileType::Aac, 1,
         "23 frames (491ms) have been added at start.\r\n",
         "23 frames added at the start are copies of the first frame: no silent frame can be "
         "built for this stream.",
         test::WithChannelsInPce, "Channels: in the stream's program config element\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        test::ScratchDir dir;
        const std::string source = dir.File(row.file);
        const auto r = test::RunCommand(
            "ffmpeg -nostdin -v error -f lavfi -i 'sine=frequency=1000:duration=2' -ar 48000 " +
            std::string(row.options) + " -y " + ShellQuote(source));
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        if (row.patch != nullptr) {
            Bytes bytes = test::ReadFile(source);
            row.patch(bytes);
            test::WriteFile(source, bytes);
        }
        SourceAnalysis analysis = AnalyseSource(source, row.type);
        ASSERT_TRUE(analysis.report.has_value());
        if (row.sourceLine != nullptr) {
            EXPECT_NE(analysis.report->find(row.sourceLine), std::string::npos) << *analysis.report;
        }
        LoadSilentFrame(analysis.info, row.type, row.checkBox);
        ASSERT_FALSE(analysis.info.SilentFrameLoaded);
        test::RecordingObserver observer;
        const std::string target = dir.File(std::string("copies.") + row.file);
        ASSERT_EQ(WriteTarget({source, target, row.type, 500, 0}, analysis.info, observer).outcome,
                  WriteOutcome::Complete);
        const Bytes bytes = test::ReadFile(target);
        const Bytes original = test::ReadFile(source);
        const auto frame = static_cast<std::size_t>(analysis.info.FrameLength);
        const std::size_t added = std::stoul(row.addedLine);
        for (std::size_t f = 0; f <= added; ++f) {
            EXPECT_TRUE(std::equal(bytes.begin() + f * frame, bytes.begin() + (f + 1) * frame,
                                   original.begin()))
                << "frame " << f;
        }
        const std::string said = row.notice != nullptr ? std::string(row.notice) + "\r\n" : "";
        EXPECT_NE(observer.InfoText().find(row.addedLine + said), std::string::npos)
            << observer.InfoText();
        EXPECT_EQ(observer.InfoText().find("copies") != std::string::npos, row.notice != nullptr);
        EXPECT_EQ(observer.Calls("notice:"), row.notice != nullptr
                                                 ? std::vector<std::string>{row.notice}
                                                 : std::vector<std::string>{});
        const auto statuses = observer.Statuses();
        EXPECT_NE(std::find(statuses.begin(), statuses.end(),
                            "Adding " + std::to_string(added) + " frames."),
                  statuses.end());
    }
}

}  // namespace
}  // namespace velmora
