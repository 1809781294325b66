// Tests for the silent E-AC-3 frame builder, judged by ffmpeg with its CRC check on: runs
// of frames must decode without a complaint to the exact number of zero samples, and a
// silent start must not disturb a real stream behind it. liba52 has no E-AC-3 decoder (its
// a52_syncinfo refuses bsid 16, real encoder output included), so it is no judge here.
#include "silence/silent_eac3_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "formats/eac3_frame.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::Bytes;

constexpr int kUnits = 8;
constexpr int kSamplesPerBlock = 256;
constexpr int kBlocks[] = {1, 2, 3, 6};  // by numblkscod

// ffmpeg with every check it has: CRCs checked and any error fatal. Output as 32-bit
// floats, so that a value too small for 16 bits still counts as sound.
test::CommandResult DecodeWithFfmpeg(const std::string& file) {
    return test::RunCommand("ffmpeg -nostdin -v error -xerror -err_detect crccheck+explode -i " +
                            test::ShellQuote(file) + " -f f32le -");
}

// Every decoded float is 0 (-0.0 included); a partial sample at the end is not.
bool AllZeroFloats(const std::string& pcm) {
    for (std::size_t at = 0; at + sizeof(float) <= pcm.size(); at += sizeof(float)) {
        float sample = 0;
        std::memcpy(&sample, pcm.data() + at, sizeof sample);
        if (sample != 0) {
            return false;
        }
    }
    return pcm.size() % sizeof(float) == 0;
}

// The same float samples, compared as values: the decoder's state after silence differs
// from a fresh start only in the sign of some zeros.
bool SameSamples(const std::string& a, const std::string& b) {
    if (a.size() != b.size() || a.size() % sizeof(float) != 0) {
        return false;
    }
    for (std::size_t at = 0; at < a.size(); at += sizeof(float)) {
        float x = 0;
        float y = 0;
        std::memcpy(&x, a.data() + at, sizeof x);
        std::memcpy(&y, b.data() + at, sizeof y);
        if (x != y) {
            return false;
        }
    }
    return true;
}

// True when a sync word starts anywhere but at the frame start.
bool SyncWordInside(const Bytes& frame) {
    for (std::size_t i = 1; i + 1 < frame.size(); ++i) {
        if (frame[i] == 0x0B && frame[i + 1] == 0x77) {
            return true;
        }
    }
    return false;
}

// `count` units: each the independent frame, then the dependent one if there is one.
std::optional<Bytes> BuildUnits(const SilentEac3FrameParams& frame,
                                const std::optional<SilentEac3FrameParams>& dependent, int count) {
    std::vector<Bytes> unit;
    for (const auto& params : {std::optional(frame), dependent}) {
        if (!params) {
            continue;
        }
        auto bytes = BuildSilentEac3Frame(*params);
        if (!bytes || bytes->size() != static_cast<std::size_t>(params->frameBytes) ||
            SyncWordInside(*bytes)) {
            return std::nullopt;
        }
        unit.push_back(std::move(*bytes));
    }
    Bytes stream;
    for (int i = 0; i < count; ++i) {
        for (const Bytes& bytes : unit) {
            stream.insert(stream.end(), bytes.begin(), bytes.end());
        }
    }
    return stream;
}

// Bytes in the smallest six-block 5.1 frame: its audio takes 510 to 525 bits, and 18 more
// end every frame.
constexpr int kSmallest51Frame = 68;

// The channel map of a dependent frame that carries the back surround pair of a 7.1
// programme: location 6 (Lrs/Rrs), the seventh bit sent.
constexpr int kBackSurroundPair = 1 << (15 - 6);

TEST(SilentEac3Frame, FfmpegPlaysEveryFormatAsExactSilenceWithItsCrcChecked) {
    // What ffmpeg must make of the frames.
    struct Heard {
        int sampleRate;
        int channels;  // decoded, LFE included; 0: ffmpeg 5.1 does not decode the rate
        bool silent;   // false for the controls made audible on purpose
    };
    struct Row {
        const char* what;
        Heard heard;
        SilentEac3FrameParams frame;
        std::optional<SilentEac3FrameParams> dependent = {};  // follows the frame in each unit
    };
    // Frame fields not named keep their defaults: independent, 6 blocks, 48 kHz, 2/0.
    const Row rows[] = {
        {"48 kHz 5.1, 6 blocks, 640 kbit/s",
         {48000, 6, true},
         {.frameBytes = 2560, .acmod = 7, .lfeon = true}},
        {"48 kHz 5.1, 6 blocks, the smallest frame",
         {48000, 6, true},
         {.frameBytes = kSmallest51Frame, .acmod = 7, .lfeon = true}},
        {"48 kHz 2.0, 6 blocks, 256 kbit/s", {48000, 2, true}, {.frameBytes = 1024}},
        {"44.1 kHz 2.0, 6 blocks, 192 kbit/s", {44100, 2, true}, {.frameBytes = 836, .fscod = 1}},
        {"32 kHz 5.1, 6 blocks, 384 kbit/s",
         {32000, 6, true},
         {.frameBytes = 2304, .fscod = 2, .acmod = 7, .lfeon = true}},
        {"48 kHz 5.1, 1 block, 384 kbit/s",
         {48000, 6, true},
         {.frameBytes = 256, .numblkscod = 0, .acmod = 7, .lfeon = true, .convsync = true}},
        {"48 kHz dual mono, 2 blocks",
         {48000, 2, true},
         {.frameBytes = 256, .numblkscod = 1, .acmod = 0}},
        {"44.1 kHz 3/1, 3 blocks, converted from AC-3",
         {44100, 4, true},
         {.strmtyp = 2,
          .frameBytes = 512,
          .fscod = 1,
          .numblkscod = 2,
          .acmod = 5,
          .convsync = true,
          .ac3Frmsizecod = 20}},
        {"48 kHz 2/0 + LFE whose CRC word would read 0B 77",
         {48000, 3, true},
         {.frameBytes = 2158, .lfeon = true, .dialnorm = 6}},
        {"48 kHz 7.1: 5.1, then a dependent 2/0 frame mapped to the back surround pair",
         {48000, 8, true},
         {.frameBytes = 1536, .acmod = 7, .lfeon = true},
         SilentEac3FrameParams{.strmtyp = 1, .frameBytes = 1024, .chanmap = kBackSurroundPair}},
        {"24 kHz 2.0 (fscod 3)", {24000, 0, true}, {.frameBytes = 1024, .fscod = 3, .fscod2 = 0}},
        // Controls: the 5.1 frame with bits allocated, or with dither on, is not silent.
        {"control: csnroffst 12",
         {48000, 6, false},
         {.frameBytes = 2560, .acmod = 7, .lfeon = true, .csnroffst = 12}},
        {"control: dither on",
         {48000, 6, false},
         {.frameBytes = 2560, .acmod = 7, .lfeon = true, .dithflag = true}},
    };
    if (!test::HaveFfmpeg()) {
        return;
    }
    test::ScratchDir dir;
    const std::string file = dir.File("units.eac3");
    for (const Row& row : rows) {
        const std::optional<Bytes> stream = BuildUnits(row.frame, row.dependent, kUnits);
        ASSERT_TRUE(stream) << row.what;
        test::WriteFile(file, *stream);

        const test::CommandResult probed = test::RunCommand(
            "ffprobe -v error -show_entries stream=codec_name,sample_rate,channels -of compact " +
            test::ShellQuote(file));
        const std::string header =
            "stream|codec_name=eac3|sample_rate=" + std::to_string(row.heard.sampleRate) +
            "|channels=";
        if (row.heard.channels == 0) {
            // Reduced rates: ffmpeg reads the header but has no decoder for them.
            EXPECT_EQ(probed.out.substr(0, header.size()), header) << row.what;
            continue;
        }
        EXPECT_EQ(probed.out, header + std::to_string(row.heard.channels) + "\n") << row.what;

        const test::CommandResult decoded = DecodeWithFfmpeg(file);
        EXPECT_EQ(decoded.exitStatus, 0) << row.what;
        EXPECT_EQ(decoded.err, "") << row.what;
        const std::size_t samples = static_cast<std::size_t>(
            kUnits * kBlocks[row.frame.numblkscod] * kSamplesPerBlock * row.heard.channels);
        EXPECT_EQ(decoded.out.size(), samples * sizeof(float)) << row.what;
        EXPECT_EQ(AllZeroFloats(decoded.out), row.heard.silent) << row.what;

        // The CRC check is live: a changed byte near the end of one frame fails the run. It
        // is auxiliary data, which no decoder reads, in all but the smallest frame.
        Bytes broken = *stream;
        broken[static_cast<std::size_t>(row.frame.frameBytes) - 8] ^= 0x10;
        test::WriteFile(file, broken);
        EXPECT_NE(DecodeWithFfmpeg(file).exitStatus, 0) << row.what;
    }
}

TEST(SilentEac3Frame, SilenceInFrontOfARealStreamLeavesItsAudioUntouched) {
    // The frames are built from the real stream's own header, as the program will do, and
    // the decoder must carry on into the real audio without an error or a reset: the real
    // part decodes to the very samples it gives on its own.
    if (!test::HaveFfmpeg()) {
        return;
    }
    test::ScratchDir dir;
    const std::string real = dir.File("real.eac3");
    const std::string spliced = dir.File("spliced.eac3");
    const test::CommandResult encoded = test::RunCommand(
        "ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:duration=1 -ac 6 -ar 48000 "
        "-c:a eac3 -b:a 640k -f eac3 -y " +
        test::ShellQuote(real));
    ASSERT_EQ(encoded.exitStatus, 0) << encoded.err;
    const Bytes realBytes = test::ReadFile(real);
    const Eac3Header header = DecodeEac3Header(realBytes);
    ASSERT_EQ(Eac3FrameLength(header), 2560);  // 640 kbit/s at 48 kHz, six blocks
    ASSERT_EQ(header.acmod, 7);
    ASSERT_EQ(header.lfeon, 1);

    const SilentEac3FrameParams params{.frameBytes = Eac3FrameLength(header),
                                       .fscod = header.fscod,
                                       .numblkscod = header.numblkscod,
                                       .acmod = header.acmod,
                                       .lfeon = header.lfeon != 0,
                                       .bsid = header.bsid};
    std::optional<Bytes> stream = BuildUnits(params, {}, kUnits);
    ASSERT_TRUE(stream);
    stream->insert(stream->end(), realBytes.begin(), realBytes.end());
    test::WriteFile(spliced, *stream);

    const test::CommandResult alone = DecodeWithFfmpeg(real);
    const test::CommandResult after = DecodeWithFfmpeg(spliced);
    ASSERT_EQ(alone.exitStatus, 0) << alone.err;
    EXPECT_EQ(after.exitStatus, 0);
    EXPECT_EQ(after.err, "");
    const std::size_t silentBytes = std::size_t{kUnits} * 6 * kSamplesPerBlock * 6 * sizeof(float);
    ASSERT_EQ(after.out.size(), silentBytes + alone.out.size());
    EXPECT_TRUE(AllZeroFloats(after.out.substr(0, silentBytes)));
    EXPECT_FALSE(AllZeroFloats(alone.out));
    EXPECT_TRUE(SameSamples(after.out.substr(silentBytes), alone.out));
}

TEST(SilentEac3Frame, RefusesFieldsOutOfRangeAndFramesTooSmallForTheirAudio) {
    struct Change {
        const char* what;
        std::function<void(SilentEac3FrameParams&)> change;
    };
    const Change changes[] = {
        {"odd frame size", [](auto& p) { p.frameBytes = 1023; }},
        {"frame size beyond frmsiz", [](auto& p) { p.frameBytes = 4098; }},
        {"too small for 5.1 audio blocks",
         [](auto& p) {
             p.acmod = 7;
             p.lfeon = true;
             p.frameBytes = kSmallest51Frame - 2;
         }},
        {"strmtyp 3 (reserved)", [](auto& p) { p.strmtyp = 3; }},
        {"substreamid 8", [](auto& p) { p.substreamid = 8; }},
        {"fscod 3 with 1 block",
         [](auto& p) {
             p.fscod = 3;
             p.numblkscod = 0;
         }},
        {"fscod2 3 (reserved)",
         [](auto& p) {
             p.fscod = 3;
             p.fscod2 = 3;
         }},
        {"bsid 10 (AC-3 syntax)", [](auto& p) { p.bsid = 10; }},
        {"dialnorm 32", [](auto& p) { p.dialnorm = 32; }},
        {"channel map on an independent frame", [](auto& p) { p.chanmap = 0xA000; }},
        {"channel map naming three channels for 2/0",
         [](auto& p) {
             p.strmtyp = 1;
             p.chanmap = 0xA000 | 0x0100;
         }},
        {"ac3Frmsizecod 38",
         [](auto& p) {
             p.strmtyp = 2;
             p.ac3Frmsizecod = 38;
         }},
        {"csnroffst 64", [](auto& p) { p.csnroffst = 64; }},
    };
    const SilentEac3FrameParams good{.frameBytes = 1024};
    ASSERT_TRUE(BuildSilentEac3Frame(good));
    // The smallest 5.1 frame is accepted, as is a map naming the two channels of 2/0.
    EXPECT_TRUE(BuildSilentEac3Frame({.frameBytes = kSmallest51Frame, .acmod = 7, .lfeon = true}));
    EXPECT_TRUE(BuildSilentEac3Frame({.strmtyp = 1, .frameBytes = 1024, .chanmap = 0xA000}));
    for (const Change& change : changes) {
        SilentEac3FrameParams params = good;
        change.change(params);
        EXPECT_FALSE(BuildSilentEac3Frame(params)) << change.what;
    }
}

}  // namespace
}  // namespace velmora
