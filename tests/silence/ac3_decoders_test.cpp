// Decodes the silent frames with two real decoders, ffmpeg and liba52, and checks that
// both play them as exact silence; negative controls show that the checks can fail.
#include <gtest/gtest.h>

#include <stdint.h>  // a52.h needs the C fixed-width types declared first

extern "C" {
#include <a52dec/a52.h>
}

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "silence/silent_frames.h"
#include "silence/silent_sync_frame.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::Bytes;

constexpr int kRepeats = 50;
constexpr std::size_t kSamplesPerFrame = 1536;

struct TemplateRow {
    const char* name;
    std::size_t offset;
    std::size_t size;
    int channels;        // decoded channels, LFE included
    const char* layout;  // as ffprobe names it
    int bitRate;         // bit/s
    int liba52Flags;     // channel configuration liba52 reports
};

const TemplateRow kTemplates[] = {
    // liba52 reports 2/0 with dsurmod 2 as its matrix-surround stereo mode.
    {"A", 0, 768, 2, "stereo", 192000, A52_DOLBY},
    {"B", 768, 1536, 6, "5.1(side)", 384000, A52_3F2R | A52_LFE},
    {"C", 2304, 1792, 6, "5.1(side)", 448000, A52_3F2R | A52_LFE},
};

Bytes TemplateBytes(const TemplateRow& row) {
    const auto first = SilentFrameTemplates.begin() + static_cast<std::ptrdiff_t>(row.offset);
    return Bytes(first, first + static_cast<std::ptrdiff_t>(row.size));
}

Bytes Repeat(const Bytes& frame, int times) {
    Bytes stream;
    for (int i = 0; i < times; ++i) {
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    return stream;
}

// ffmpeg with every check it has: CRCs checked, any error ends decoding with a failure.
test::CommandResult DecodeWithFfmpeg(const std::string& file) {
    return test::RunCommand("ffmpeg -nostdin -v error -xerror -err_detect crccheck+explode -i " +
                            test::ShellQuote(file) + " -f s16le -");
}

bool AllZero(const std::string& pcm) {
    return pcm.find_first_not_of('\0') == std::string::npos;
}

// What liba52 made of a stream: the first failure, if any, and whether every output
// sample of every block was exactly 0.
struct Liba52Run {
    std::optional<std::string> failure;
    bool allZero = true;
    int blocks = 0;
    int flags = 0;
    int sampleRate = 0;
    int bitRate = 0;
};

int OutputChannels(int flags) {
    // A52_CHANNEL (0) to A52_DOLBY (10), then one more for the LFE.
    constexpr int kChannels[] = {2, 1, 2, 3, 3, 4, 4, 5, 1, 1, 2};
    return kChannels[flags & A52_CHANNEL_MASK] + ((flags & A52_LFE) != 0 ? 1 : 0);
}

Liba52Run DecodeWithLiba52(Bytes stream, std::size_t frameSize) {
    Liba52Run run;
    a52_state_t* state = a52_init(0);
    if (state == nullptr) {
        run.failure = "a52_init";
        return run;
    }
    a52_dynrng(state, nullptr, nullptr);  // plain output, no dynamic range applied
    for (std::size_t at = 0; at + frameSize <= stream.size() && !run.failure; at += frameSize) {
        uint8_t* frame = stream.data() + at;
        int flags = 0;
        const int length = a52_syncinfo(frame, &flags, &run.sampleRate, &run.bitRate);
        if (length != static_cast<int>(frameSize)) {
            run.failure = "a52_syncinfo gave length " + std::to_string(length);
            break;
        }
        run.flags = flags;
        sample_t level = 1;
        if (a52_frame(state, frame, &flags, &level, 0) != 0) {
            run.failure = "a52_frame at byte " + std::to_string(at);
            break;
        }
        const int channels = OutputChannels(flags);
        for (int block = 0; block < 6; ++block) {
            if (a52_block(state) != 0) {
                run.failure =
                    "a52_block " + std::to_string(block) + " at byte " + std::to_string(at);
                break;
            }
            ++run.blocks;
            const sample_t* samples = a52_samples(state);
            for (int i = 0; i < 256 * channels; ++i) {
                // Compared as values: -0.0 is silence too.
                run.allZero = run.allZero && samples[i] == 0;
            }
        }
    }
    a52_free(state);
    return run;
}

TEST(SilentFramesDecoded, FfmpegPlaysEachTemplateAsExactSilence) {
    if (!test::HaveFfmpeg()) {
        return;
    }
    test::ScratchDir dir;
    for (const TemplateRow& row : kTemplates) {
        const std::string file = dir.File(std::string(row.name) + ".ac3");
        test::WriteFile(file, Repeat(TemplateBytes(row), kRepeats));

        const test::CommandResult decoded = DecodeWithFfmpeg(file);
        EXPECT_EQ(decoded.exitStatus, 0) << row.name;
        EXPECT_EQ(decoded.err, "") << row.name;
        EXPECT_EQ(decoded.out.size(),
                  kRepeats * kSamplesPerFrame * static_cast<std::size_t>(row.channels) * 2)
            << row.name;
        EXPECT_TRUE(AllZero(decoded.out)) << row.name;

        const test::CommandResult probed = test::RunCommand(
            "ffprobe -v error -show_entries stream=sample_rate,channels,channel_layout -of "
            "compact " +
            test::ShellQuote(file));
        EXPECT_EQ(probed.exitStatus, 0) << row.name;
        EXPECT_EQ(probed.out, "stream|sample_rate=48000|channels=" + std::to_string(row.channels) +
                                  "|channel_layout=" + row.layout + "\n")
            << row.name;
    }
}

TEST(SilentFramesDecoded, FfmpegRejectsATemplateWithAByteChangedPastTheAudio) {
    // One byte in the auxiliary data after the audio blocks, once in the part crc1
    // covers and once in the part crc2 covers. The decoded audio would not change, so
    // only a live CRC check can notice.
    if (!test::HaveFfmpeg()) {
        return;
    }
    test::ScratchDir dir;
    for (const TemplateRow& row : kTemplates) {
        const std::size_t crc1End = row.size * 5 / 8;
        for (const std::size_t at : {crc1End - 8, row.size - 8}) {
            Bytes frame = TemplateBytes(row);
            frame[at] ^= 0x10;
            const std::string file = dir.File(std::string(row.name) + ".ac3");
            test::WriteFile(file, Repeat(frame, kRepeats));
            const test::CommandResult decoded = DecodeWithFfmpeg(file);
            EXPECT_NE(decoded.exitStatus, 0) << row.name << " byte " << at;
            EXPECT_NE(decoded.err, "") << row.name << " byte " << at;
        }
    }
}

TEST(SilentFramesDecoded, Liba52DecodesEveryBlockOfEveryTemplateToZeros) {
    for (const TemplateRow& row : kTemplates) {
        // Several frames in a row, so the overlap carried from one frame into the next
        // is checked too.
        const Liba52Run run = DecodeWithLiba52(Repeat(TemplateBytes(row), 4), row.size);
        EXPECT_EQ(run.failure, std::nullopt) << row.name;
        EXPECT_EQ(run.blocks, 4 * 6) << row.name;
        EXPECT_TRUE(run.allZero) << row.name;
        EXPECT_EQ(run.sampleRate, 48000) << row.name;
        EXPECT_EQ(run.bitRate, row.bitRate) << row.name;
        EXPECT_EQ(run.flags, row.liba52Flags) << row.name;
    }
}

TEST(SilentFramesDecoded, RaisingTheSnrOffsetMakesBothDecodersPlaySomething) {
    // With csnroffst 12 the allocation gives bits to mantissas that the frame does not
    // carry, so the decoders read the zero auxiliary bits as mantissas: not silence. This
    // shows that the all-zero checks above can fail.
    SilentAc3FrameParams params;
    params.frmsizecod = 30;
    params.acmod = 7;
    params.lfeon = true;
    params.csnroffst = 12;
    const auto frame = BuildSilentAc3Frame(params);
    ASSERT_TRUE(frame);

    const Liba52Run run = DecodeWithLiba52(Repeat(frame->bytes, 4), frame->bytes.size());
    EXPECT_EQ(run.failure, std::nullopt);
    EXPECT_FALSE(run.allZero);

    if (!test::HaveFfmpeg()) {
        return;
    }
    test::ScratchDir dir;
    const std::string file = dir.File("loud.ac3");
    test::WriteFile(file, Repeat(frame->bytes, kRepeats));
    const test::CommandResult decoded = DecodeWithFfmpeg(file);
    EXPECT_EQ(decoded.exitStatus, 0);
    EXPECT_FALSE(decoded.out.empty());
    EXPECT_FALSE(AllZero(decoded.out));
}

constexpr int kSampleRates[] = {48000, 44100, 32000};  // by fscod

TEST(SilentFramesDecoded, Liba52PlaysBuiltFramesOfEveryRateAndLayoutAsSilence) {
    // liba52 runs in the process, so every sample rate, frame size and layout is cheap to
    // play, dual mono included.
    for (int fscod = 0; fscod <= 2; ++fscod) {
        for (int frmsizecod = 0; frmsizecod <= 37; ++frmsizecod) {
            for (int acmod = 0; acmod <= 7; ++acmod) {
                for (const bool lfeon : {false, true}) {
                    SilentAc3FrameParams params;
                    params.fscod = fscod;
                    params.frmsizecod = frmsizecod;
                    params.acmod = acmod;
                    params.lfeon = lfeon;
                    const std::string what = "fscod " + std::to_string(fscod) + " code " +
                                             std::to_string(frmsizecod) + " acmod " +
                                             std::to_string(acmod) + " lfe " +
                                             std::to_string(lfeon);
                    const auto frame = BuildSilentAc3Frame(params);
                    ASSERT_TRUE(frame) << what;
                    const Liba52Run run =
                        DecodeWithLiba52(Repeat(frame->bytes, 2), frame->bytes.size());
                    ASSERT_EQ(run.failure, std::nullopt) << what;
                    EXPECT_EQ(run.blocks, 12) << what;
                    EXPECT_TRUE(run.allZero) << what;
                    EXPECT_EQ(run.sampleRate, kSampleRates[fscod]) << what;
                    // liba52's channel codes are the acmod values.
                    EXPECT_EQ(run.flags, acmod | (lfeon ? A52_LFE : 0)) << what;
                }
            }
        }
    }
}

// Every decoded float is 0 (-0.0 included); a partial sample at the end is not.
bool AllZeroFloats(const std::string& pcm) {
    if (pcm.size() % sizeof(float) != 0) {
        return false;
    }
    for (std::size_t at = 0; at < pcm.size(); at += sizeof(float)) {
        float sample = 0;
        std::memcpy(&sample, pcm.data() + at, sizeof sample);
        if (sample != 0) {
            return false;
        }
    }
    return true;
}

TEST(SilentFramesDecoded, FfmpegAndLiba52PlayFramesOfRealStreamParametersAsSilence) {
    // Parameters as real streams carry them: the smallest frame of each rate with the most
    // channels, both codes of a 44.1 kHz pair, dual mono, the mix levels and bsid values
    // that change what the bit stream information holds.
    struct Row {
        int fscod, frmsizecod, acmod;
        bool lfeon;
        int bsid, bsmod, cmixlev, surmixlev, dsurmod, dialnorm;
        int channels;        // decoded channels, LFE included
        const char* layout;  // as ffprobe names it
    };
    const Row rows[] = {
        // fscod code acmod lfe bsid bsmod cmix surmix dsur dialnorm
        {0, 36, 7, true, 8, 0, 0, 0, 0, 31, 6, "5.1(side)"},  // 640 kbit/s 5.1
        {1, 20, 2, false, 8, 0, 0, 0, 0, 31, 2, "stereo"},    // 417 words
        {1, 21, 2, false, 8, 0, 0, 0, 1, 31, 2, "stereo"},    // 418 words
        {2, 12, 3, false, 6, 0, 2, 0, 0, 31, 3, "3.0"},       // 32 kHz at 96 kbit/s
        {0, 12, 1, false, 4, 2, 0, 0, 0, 31, 1, "mono"},
        {0, 30, 2, false, 8, 1, 0, 0, 2, 31, 2, "stereo"},        // 2/0 at 448 kbit/s
        {0, 20, 7, true, 6, 0, 1, 1, 0, 31, 6, "5.1(side)"},      // 3/2 + LFE at 192 kbit/s
        {0, 0, 7, true, 8, 0, 0, 0, 0, 31, 6, "5.1(side)"},       // the smallest frames
        {1, 0, 7, true, 8, 0, 0, 0, 0, 31, 6, "5.1(side)"},       // (32 kbit/s) at each
        {2, 1, 7, true, 8, 0, 0, 0, 0, 31, 6, "5.1(side)"},       // rate
        {1, 1, 0, true, 8, 0, 0, 0, 0, 31, 3, "2.1"},             // dual mono
        {0, 8, 4, true, 0, 0, 0, 0, 0, 31, 4, "4 channels (FL+FR+LFE+BC)"},
        {1, 13, 6, false, 5, 0, 0, 2, 0, 31, 4, "quad(side)"},
        {2, 37, 5, true, 8, 0, 0, 0, 0, 31, 5, "4.1"},
        {0, 20, 1, false, 8, 3, 0, 0, 0, 30, 1, "mono"},  // crc1 would be 0B 77 uncorrected
    };
    constexpr int kFrames = 3;
    if (!test::HaveFfmpeg()) {
        return;
    }
    test::ScratchDir dir;
    for (const Row& row : rows) {
        SilentAc3FrameParams p;
        p.fscod = row.fscod;
        p.frmsizecod = row.frmsizecod;
        p.acmod = row.acmod;
        p.lfeon = row.lfeon;
        p.bsid = row.bsid;
        p.bsmod = row.bsmod;
        p.cmixlev = row.cmixlev;
        p.surmixlev = row.surmixlev;
        p.dsurmod = row.dsurmod;
        p.dialnorm = row.dialnorm;
        const std::string what = "fscod " + std::to_string(p.fscod) + " code " +
                                 std::to_string(p.frmsizecod) + " acmod " +
                                 std::to_string(p.acmod) + " lfe " + std::to_string(p.lfeon) +
                                 " bsid " + std::to_string(p.bsid);
        const auto frame = BuildSilentAc3Frame(p);
        ASSERT_TRUE(frame) << what;
        const Bytes stream = Repeat(frame->bytes, kFrames);
        const std::string file = dir.File("row.ac3");
        test::WriteFile(file, stream);

        // 32-bit floats: a value too small to show in 16 bits still counts as sound.
        const test::CommandResult decoded = test::RunCommand(
            "ffmpeg -nostdin -v error -xerror -err_detect crccheck+explode -i " +
            test::ShellQuote(file) + " -f f32le -");
        EXPECT_EQ(decoded.exitStatus, 0) << what;
        EXPECT_EQ(decoded.err, "") << what;
        EXPECT_EQ(decoded.out.size(), kFrames * kSamplesPerFrame *
                                          static_cast<std::size_t>(row.channels) * sizeof(float))
            << what;
        EXPECT_TRUE(AllZeroFloats(decoded.out)) << what;

        const test::CommandResult probed = test::RunCommand(
            "ffprobe -v error -show_entries stream=sample_rate,channels,channel_layout -of "
            "compact " +
            test::ShellQuote(file));
        EXPECT_EQ(probed.out, "stream|sample_rate=" + std::to_string(kSampleRates[p.fscod]) +
                                  "|channels=" + std::to_string(row.channels) +
                                  "|channel_layout=" + row.layout + "\n")
            << what;

        const Liba52Run run = DecodeWithLiba52(stream, frame->bytes.size());
        EXPECT_EQ(run.failure, std::nullopt) << what;
        EXPECT_EQ(run.blocks, kFrames * 6) << what;
        EXPECT_TRUE(run.allZero) << what;
    }
}

}  // namespace
}  // namespace velmora
