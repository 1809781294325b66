// Corrects streams made by a real encoder and checks that a real decoder accepts the result.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "correction/correction_plan.h"
#include "correction/recording_observer.h"
#include "correction/target_writer.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::Bytes;
using test::ShellQuote;

struct Format {
    const char* name;
    const char* extension;
    const char* encoderOptions;
    FileType fileType;
};

const Format kFormats[] = {
    {"Ac3", "ac3", "-c:a ac3 -b:a 448k -f ac3", FileType::Ac3},
    {"Mp2", "mpa", "-c:a mp2 -b:a 192k -f mp2", FileType::MpegAudio},
    {"Dts", "dts", "-c:a dca -strict -2 -f dts", FileType::Dts},
};

// Names the format in test output instead of dumping its bytes.
void PrintTo(const Format& format, std::ostream* os) {
    *os << format.name;
}

// Three seconds of a 48 kHz stereo tone in the given format.
bool Encode(const Format& format, const std::string& file) {
    const test::CommandResult r = test::RunCommand(
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=48000:"
        "duration=3 -ac 2 " +
        std::string(format.encoderOptions) + " " + ShellQuote(file));
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    return r.exitStatus == 0;
}

// Decodes the whole stream, stopping at the first decoder error; the count of 16-bit stereo
// sample frames, or -1 when the decoder complained.
std::int64_t DecodedSamples(const std::string& file) {
    const test::CommandResult r = test::RunCommand("ffmpeg -v error -xerror -i " +
                                                   ShellQuote(file) + " -f s16le -ac 2 - | wc -c");
    EXPECT_EQ(r.exitStatus, 0) << file << ": " << r.err;
    EXPECT_EQ(r.err, "") << file;
    if (r.exitStatus != 0 || !r.err.empty()) {
        return -1;
    }
    return std::stoll(r.out) / 4;
}

// What the analysis gives for these streams, worked out here from the frame header since the
// analysis is not part of this test.
struct StreamFacts {
    StreamInfo info;
    std::int64_t samplesPerFrame = 0;
};

StreamFacts FactsFor(const Format& format, const Bytes& stream) {
    StreamFacts facts;
    switch (format.fileType) {
        case FileType::Ac3:
            facts.info.FrameLength = 1792;  // 448 kbit/s at 48 kHz
            facts.info.FramesPerSecond = 31.25f;
            facts.samplesPerFrame = 1536;
            break;
        case FileType::MpegAudio:
            facts.info.FrameLength = 576;  // Layer II, 192 kbit/s at 48 kHz
            facts.info.FramesPerSecond = 41.666668f;
            facts.samplesPerFrame = 1152;
            break;
        case FileType::Dts: {
            // Core header: NBLKS is byte 4 bit 0 and byte 5 bits 7-2; FSIZE is byte 5 bits
            // 1-0, byte 6 and byte 7 bits 7-4.
            const int blocks = ((stream[4] & 0x01) << 6 | stream[5] >> 2) + 1;
            const int fsize = (stream[5] & 0x03) << 12 | stream[6] << 4 | stream[7] >> 4;
            facts.info.FrameLength = fsize + 1;
            facts.samplesPerFrame = blocks * 32;
            facts.info.FramesPerSecond = 48000.0f / static_cast<float>(facts.samplesPerFrame);
            break;
        }
    }
    return facts;
}

class RealStreams : public ::testing::TestWithParam<Format> {};

TEST_P(RealStreams, DecodeCleanlyWithExactlyThePlannedFrames) {
    ASSERT_TRUE(test::HaveFfmpeg());
    const Format& format = GetParam();
    test::ScratchDir dir;
    const std::string source = dir.File(std::string("source.") + format.extension);
    ASSERT_TRUE(Encode(format, source));
    const Bytes bytes = test::ReadFile(source);
    ASSERT_GE(bytes.size(), 16u);
    const StreamFacts facts = FactsFor(format, bytes);
    ASSERT_GT(facts.info.FrameLength, 0);
    ASSERT_EQ(bytes.size() % static_cast<std::size_t>(facts.info.FrameLength), 0u)
        << "the encoder made frames of another length";
    const std::int64_t sourceSamples = DecodedSamples(source);
    ASSERT_EQ(sourceSamples, static_cast<std::int64_t>(bytes.size()) / facts.info.FrameLength *
                                 facts.samplesPerFrame);

    const struct {
        const char* start;
        const char* end;
    } delays[] = {{"-100", "64"}, {"200", "-200"}};
    for (const auto& delay : delays) {
        const std::string target =
            dir.File(std::string("target_") + delay.start + "." + format.extension);
        test::RecordingObserver observer;
        const WriteResult result =
            WriteTarget(WriteRequest{source, target, format.fileType, delay.start, delay.end},
                        facts.info, observer);
        ASSERT_EQ(result.outcome, WriteOutcome::Complete) << result.message;

        const CorrectionPlan plan = MakeCorrectionPlan(delay.start, delay.end, facts.info).plan;
        EXPECT_GT(plan.cutStartFrames + plan.addStartFrames, 0);
        EXPECT_GT(plan.cutEndFrames + plan.addEndFrames, 0);
        const std::int64_t frameChange =
            plan.addStartFrames + plan.addEndFrames - plan.cutStartFrames - plan.cutEndFrames;
        EXPECT_EQ(DecodedSamples(target), sourceSamples + frameChange * facts.samplesPerFrame)
            << format.name << " " << delay.start << "/" << delay.end;
    }
}

INSTANTIATE_TEST_SUITE_P(TargetWriter, RealStreams, ::testing::ValuesIn(kFormats),
                         [](const ::testing::TestParamInfo<Format>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace velmora
