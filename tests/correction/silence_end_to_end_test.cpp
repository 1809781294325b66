// A real 5.1 stream padded at the start: stored silence or copies of its first frame, checked
// by decoding the target.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "analysis/analyse_source.h"
#include "correction/silent_frames.h"
#include "correction/target_writer.h"
#include "recording_observer.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::Bytes;
using test::ShellQuote;

constexpr std::size_t kFrame = 1792;  // 448 kbit/s at 48 kHz
constexpr std::size_t kSamplesPerFrame = 1536;
constexpr std::size_t kChannels = 6;

// Decodes an AC-3 file to interleaved 16-bit samples; fails the test on any decoder error.
std::vector<std::int16_t> Decode(const std::string& file) {
    const std::string pcm = file + ".pcm";
    const auto r =
        test::RunCommand("ffmpeg -nostdin -v error -xerror -err_detect crccheck+explode -i " +
                         ShellQuote(file) + " -f s16le -y " + ShellQuote(pcm));
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const Bytes bytes = test::ReadFile(pcm);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

class SilenceEndToEnd : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::HaveFfmpeg());
        source = dir.File("tone.ac3");
        const auto r = test::RunCommand(
            "ffmpeg -nostdin -v error -f lavfi -i 'sine=frequency=1000:duration=2' -ac 6 -ar 48000 "
            "-c:a ac3 -b:a 448k -y " +
            ShellQuote(source));
        ASSERT_EQ(r.exitStatus, 0) << r.err;
    }

    // Analyses and writes with a 500 ms start delay, the check box as given.
    WriteResult Write(int addSilent, const std::string& target) {
        SourceAnalysis analysis = AnalyseSource(source, FileType::Ac3);
        LoadSilentFrame(analysis.info, FileType::Ac3, analysis.fifthByte, addSilent);
        observer.AppendInfo(*analysis.report);
        return WriteTarget({source, target, FileType::Ac3, "500", ""}, analysis.info, observer);
    }

    test::ScratchDir dir;
    std::string source;
    test::RecordingObserver observer;
};

TEST_F(SilenceEndToEnd, StartsWithSixteenStoredSilentFrames) {
    const std::string target = dir.File("silent.ac3");
    ASSERT_EQ(Write(1, target).outcome, WriteOutcome::Complete);
    const Bytes bytes = test::ReadFile(target);
    ASSERT_GE(bytes.size(), 17 * kFrame);
    for (std::size_t f = 0; f < 16; ++f) {
        EXPECT_TRUE(std::equal(bytes.begin() + f * kFrame, bytes.begin() + (f + 1) * kFrame,
                               SilentFrameTemplates.begin() + 2304))
            << "frame " << f;
    }
    EXPECT_NE(observer.InfoText().find("16 silent frames (512ms) have been added at start.\r\n"),
              std::string::npos);
    const auto statuses = observer.Statuses();
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Adding 16 silent frames."),
              statuses.end());

    const std::vector<std::int16_t> samples = Decode(target);
    const std::size_t silent = 16 * kSamplesPerFrame * kChannels;
    ASSERT_GT(samples.size(), silent + 2 * kSamplesPerFrame * kChannels);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.begin() + silent,
                            [](std::int16_t s) { return s == 0; }));
    // The tone follows straight after the silence.
    EXPECT_TRUE(std::any_of(samples.begin() + silent,
                            samples.begin() + silent + 2 * kSamplesPerFrame * kChannels,
                            [](std::int16_t s) { return s > 1000; }));
}

TEST_F(SilenceEndToEnd, UncheckedRepeatsTheFirstFrame) {
    const std::string target = dir.File("copies.ac3");
    ASSERT_EQ(Write(0, target).outcome, WriteOutcome::Complete);
    const Bytes bytes = test::ReadFile(target);
    const Bytes original = test::ReadFile(source);
    for (std::size_t f = 0; f < 17; ++f) {
        EXPECT_TRUE(std::equal(bytes.begin() + f * kFrame, bytes.begin() + (f + 1) * kFrame,
                               original.begin()))
            << "frame " << f;
    }
    EXPECT_NE(observer.InfoText().find("16 frames (512ms) have been added at start.\r\n"),
              std::string::npos);
    const auto statuses = observer.Statuses();
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Adding 16 frames."), statuses.end());
    static_cast<void>(Decode(target));
}

}  // namespace
}  // namespace velmora
