// Tests for the silent MPEG audio frame builder: runs of frames played by ffmpeg (CRCs
// checked) and mpg123 must be exact silence, and a silent frame in front of a real stream
// must not disturb it.
#include "silence/silent_mpeg_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace velmora {
namespace {

using test::Bytes;

constexpr int kFrames = 8;

struct Row {
    const char* what;
    SilentMpegFrameParams params;  // all but paddingBit and frameBytes
    const char* codec;             // as ffprobe names it
    int samplesPerFrame;
};

int Channels(const SilentMpegFrameParams& p) {
    return p.channelMode == 3 ? 1 : 2;
}

// `count` frames with the padding an encoder gives them: a frame is padded whenever the
// bytes owed by the exact rate reach one more slot, so 44.1 kHz streams mix both sizes.
Bytes SilentRun(SilentMpegFrameParams p, int count) {
    const bool layer1 = p.layerCode == 3;
    const std::int64_t perFrame = layer1 ? 12 : p.layerCode == 1 && p.versionId != 3 ? 72 : 144;
    const std::int64_t exact = perFrame * 1000 * p.bitRateKbps;  // slots * sample rate
    const std::int64_t slotBytes = layer1 ? 4 : 1;
    Bytes run;
    std::int64_t owed = 0;
    for (int i = 0; i < count; ++i) {
        owed += exact % p.sampleRateHz;
        p.paddingBit = owed >= p.sampleRateHz ? 1 : 0;
        owed -= p.paddingBit * p.sampleRateHz;
        p.frameBytes = static_cast<int>((exact / p.sampleRateHz + p.paddingBit) * slotBytes);
        const auto frame = BuildSilentMpegFrame(p);
        if (!frame) {
            ADD_FAILURE() << "frame " << i << " refused";
            return {};
        }
        run.insert(run.end(), frame->begin(), frame->end());
    }
    return run;
}

// ffmpeg with every check it has: CRCs checked and any error fatal. skip_manual keeps the
// Layer III decoder from trimming its start-up delay, so every sample comes out.
test::CommandResult DecodeWithFfmpeg(const std::string& file) {
    return test::RunCommand(
        "ffmpeg -nostdin -v error -xerror -err_detect crccheck+explode -flags2 +skip_manual "
        "-f mp3 -i " +
        test::ShellQuote(file) + " -f f32le -");
}

bool AllZeroFloats(const std::string& pcm) {
    for (std::size_t at = 0; at + sizeof(float) <= pcm.size(); at += sizeof(float)) {
        float sample = 0;
        std::memcpy(&sample, pcm.data() + at, sizeof sample);
        if (sample != 0) {  // -0.0 is silence too
            return false;
        }
    }
    return pcm.size() % sizeof(float) == 0;
}

SilentMpegFrameParams Params(int versionId, int layerCode, int bitrateIndex, int samplingIndex,
                             int kbps, int hz, int channelMode, bool protection) {
    SilentMpegFrameParams p;
    p.versionId = versionId;
    p.layerCode = layerCode;
    p.bitrateIndex = bitrateIndex;
    p.samplingIndex = samplingIndex;
    p.bitRateKbps = kbps;
    p.sampleRateHz = hz;
    p.channelMode = channelMode;
    p.protection = protection;
    return p;
}

TEST(SilentMpegFrame, RunsOfFramesPlayAsExactSilenceInFfmpegAndMpg123) {
    // {version, layer, bitrate_index, sampling_frequency, kbit/s, Hz, mode, CRC}. The
    // Layer II rows between them use all five allocation tables, which a CRC over the
    // allocations would expose if one were wrong.
    const Row rows[] = {
        {"MP2 48 kHz 192k stereo (table a)", Params(3, 2, 10, 1, 192, 48000, 0, true), "mp2", 1152},
        {"MP2 48 kHz 64k mono (table a)", Params(3, 2, 4, 1, 64, 48000, 3, true), "mp2", 1152},
        {"MP2 44.1 kHz 192k stereo (table b)", Params(3, 2, 10, 0, 192, 44100, 0, true), "mp2",
         1152},
        {"MP2 44.1 kHz 48k mono (table c)", Params(3, 2, 2, 0, 48, 44100, 3, true), "mp2", 1152},
        {"MP2 32 kHz 64k joint stereo (table d)", Params(3, 2, 4, 2, 64, 32000, 1, true), "mp2",
         1152},
        {"MP2 44.1 kHz 128k joint stereo, no CRC", Params(3, 2, 8, 0, 128, 44100, 1, false), "mp2",
         1152},
        {"MP2 MPEG-2 24 kHz 64k stereo", Params(2, 2, 8, 1, 64, 24000, 0, true), "mp2", 1152},
        {"MP2 MPEG-2 22.05 kHz 32k mono", Params(2, 2, 4, 0, 32, 22050, 3, true), "mp2", 1152},
        {"MP3 44.1 kHz 128k joint stereo", Params(3, 1, 9, 0, 128, 44100, 1, true), "mp3", 1152},
        {"MP3 48 kHz 320k mono", Params(3, 1, 14, 1, 320, 48000, 3, true), "mp3", 1152},
        {"MP3 MPEG-2 24 kHz 64k stereo", Params(2, 1, 8, 1, 64, 24000, 0, true), "mp3", 576},
        {"MP3 MPEG-2 16 kHz 8k mono", Params(2, 1, 1, 2, 8, 16000, 3, true), "mp3", 576},
        {"MP3 MPEG 2.5 8 kHz 8k mono", Params(0, 1, 1, 2, 8, 8000, 3, true), "mp3", 576},
        {"MP3 MPEG 2.5 11.025 kHz 32k stereo", Params(0, 1, 4, 0, 32, 11025, 0, true), "mp3", 576},
        {"Layer I 48 kHz 192k mono", Params(3, 3, 6, 1, 192, 48000, 3, true), "mp1", 384},
        {"Layer I 44.1 kHz 384k stereo", Params(3, 3, 12, 0, 384, 44100, 0, true), "mp1", 384},
    };
    if (!test::HaveFfmpeg()) {
        return;
    }
    test::ScratchDir dir;
    const std::string file = dir.File("run.mpa");
    for (const Row& row : rows) {
        const int channels = Channels(row.params);
        const Bytes run = SilentRun(row.params, kFrames);
        ASSERT_FALSE(run.empty()) << row.what;
        test::WriteFile(file, run);

        const test::CommandResult decoded = DecodeWithFfmpeg(file);
        EXPECT_EQ(decoded.exitStatus, 0) << row.what;
        EXPECT_EQ(decoded.err, "") << row.what;
        const std::size_t samples = static_cast<std::size_t>(kFrames * row.samplesPerFrame) *
                                    static_cast<std::size_t>(channels);
        EXPECT_EQ(decoded.out.size(), samples * sizeof(float)) << row.what;
        EXPECT_TRUE(AllZeroFloats(decoded.out)) << row.what;

        const test::CommandResult probed = test::RunCommand(
            "ffprobe -v error -show_entries stream=codec_name,sample_rate,channels -of compact "
            "-f mp3 " +
            test::ShellQuote(file));
        EXPECT_EQ(probed.out, std::string("stream|codec_name=") + row.codec +
                                  "|sample_rate=" + std::to_string(row.params.sampleRateHz) +
                                  "|channels=" + std::to_string(channels) + "\n")
            << row.what;

        // mpg123 does not check the CRC, but it is a second, unrelated decoder; it writes
        // 16-bit samples.
        const test::CommandResult played =
            test::RunCommand("mpg123 -q --no-gapless -s " + test::ShellQuote(file));
        EXPECT_EQ(played.exitStatus, 0) << row.what;
        EXPECT_EQ(played.err, "") << row.what;
        EXPECT_EQ(played.out.size(), samples * 2) << row.what;
        EXPECT_EQ(played.out.find_first_not_of('\0'), std::string::npos) << row.what;

        if (row.params.protection) {
            // The CRC check is live: one changed bit in the CRC word fails the run.
            Bytes broken = run;
            broken[5] ^= 0x01;
            test::WriteFile(file, broken);
            EXPECT_NE(DecodeWithFfmpeg(file).exitStatus, 0) << row.what;
        }
    }
}

TEST(SilentMpegFrame, SilenceInFrontOfARealStreamLeavesItsAudioUntouched) {
    // The decoder must carry on from the silent frames into real audio without an error or
    // a reset: the real part decodes to the very samples it gives on its own.
    struct Splice {
        const char* what;
        const char* encoder;  // ffmpeg options for a raw stream with the same header fields
        SilentMpegFrameParams params;
        int samplesPerFrame;
    };
    const Splice splices[] = {
        {"MP2 48 kHz 192k stereo", "-c:a mp2 -b:a 192k -ar 48000 -ac 2 -f mp2",
         Params(3, 2, 10, 1, 192, 48000, 0, false), 1152},
        {"MP3 44.1 kHz 128k joint stereo",
         "-c:a libmp3lame -b:a 128k -ar 44100 -ac 2 -write_xing 0 -id3v2_version 0 -f mp3",
         Params(3, 1, 9, 0, 128, 44100, 1, false), 1152},
    };
    if (!test::HaveFfmpeg()) {
        return;
    }
    test::ScratchDir dir;
    const std::string real = dir.File("real.mpa");
    const std::string spliced = dir.File("spliced.mpa");
    for (const Splice& splice : splices) {
        const test::CommandResult encoded =
            test::RunCommand("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:duration=1 " +
                             std::string(splice.encoder) + " -y " + test::ShellQuote(real));
        ASSERT_EQ(encoded.exitStatus, 0) << splice.what << ": " << encoded.err;

        Bytes stream = SilentRun(splice.params, kFrames);
        const Bytes realBytes = test::ReadFile(real);
        stream.insert(stream.end(), realBytes.begin(), realBytes.end());
        test::WriteFile(spliced, stream);

        const test::CommandResult alone = DecodeWithFfmpeg(real);
        const test::CommandResult after = DecodeWithFfmpeg(spliced);
        ASSERT_EQ(alone.exitStatus, 0) << splice.what << ": " << alone.err;
        EXPECT_EQ(after.exitStatus, 0) << splice.what;
        EXPECT_EQ(after.err, "") << splice.what;
        const std::size_t silentBytes = static_cast<std::size_t>(kFrames) *
                                        static_cast<std::size_t>(splice.samplesPerFrame) * 2 *
                                        sizeof(float);
        ASSERT_EQ(after.out.size(), silentBytes + alone.out.size()) << splice.what;
        EXPECT_TRUE(AllZeroFloats(after.out.substr(0, silentBytes))) << splice.what;
        EXPECT_FALSE(AllZeroFloats(alone.out)) << splice.what;
        EXPECT_TRUE(after.out.compare(silentBytes, std::string::npos, alone.out) == 0)
            << splice.what;
    }
}

TEST(SilentMpegFrame, RefusesReservedCodesAndASizeTheRatesDoNotGive) {
    struct Change {
        const char* what;
        std::function<void(SilentMpegFrameParams&)> change;
    };
    const Change changes[] = {
        {"version 1 (reserved)", [](auto& p) { p.versionId = 1; }},
        {"layer 0 (reserved)", [](auto& p) { p.layerCode = 0; }},
        {"free format", [](auto& p) { p.bitrateIndex = 0; }},
        {"bitrate_index 15", [](auto& p) { p.bitrateIndex = 15; }},
        {"sampling_frequency 3", [](auto& p) { p.samplingIndex = 3; }},
        {"emphasis 2 (reserved)", [](auto& p) { p.emphasis = 2; }},
        {"padding 2", [](auto& p) { p.paddingBit = 2; }},
        {"one byte too many", [](auto& p) { ++p.frameBytes; }},
        {"padding bit without the padding byte", [](auto& p) { p.paddingBit = 1; }},
        {"no sample rate", [](auto& p) { p.sampleRateHz = 0; }},
    };
    SilentMpegFrameParams good = Params(3, 2, 10, 1, 192, 48000, 0, true);
    good.frameBytes = 576;  // 144 * 192000 / 48000
    const auto frame = BuildSilentMpegFrame(good);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->size(), 576u);
    for (const Change& change : changes) {
        SilentMpegFrameParams params = good;
        change.change(params);
        EXPECT_FALSE(BuildSilentMpegFrame(params)) << change.what;
    }
}

}  // namespace
}  // namespace velmora
