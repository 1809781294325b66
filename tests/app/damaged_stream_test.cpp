// Real streams with damage put in on purpose, through the built program: what is copied or
// repaired, what the report and standard error say, and the exit status. Judged by a
// strict decode against the undamaged stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>

#include "correction/dts_test_stream.h"
#include "correction/eac3_test_stream.h"
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
    return test::Repeated(BuildSilentMpegFrame(params).value_or(Bytes{}), 150);
}

struct Stream {
    const char* name;
    const char* extension;
    FileType type;
    const char* encoderOptions;    // ffmpeg options after a four-second tone, or
    std::function<Bytes()> build;  // a stream built here
    int sampleRate;
    bool crc;  // its CRCs cover the payload
    // Each unit is its first frame and more (E-AC-3 dependent frames, DTS-HD substreams).
    Bytes (*extend)(const Bytes&) = nullptr;
};

const Stream kAc3{"AC-3 48 kHz", "ac3", FileType::Ac3, "-ac 6 -c:a ac3 -b:a 448k", {}, 48000, true};
const Stream kAc3At44{"AC-3 44.1 kHz", "ac3", FileType::Ac3, "-ac 2 -c:a ac3 -b:a 192k", {},
                      44100, true};
const Stream kEac3{"E-AC-3", "eac3", FileType::Ac3, "-ac 2 -c:a eac3 -b:a 192k", {}, 48000, true};
const Stream kMp2{"MP2", "mp2", FileType::MpegAudio, "-ac 2 -c:a mp2 -b:a 192k -f mp2", {},
                  48000, false};
const Stream kMp3{"MP3", "mp3", FileType::MpegAudio,
                  "-ac 2 -c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0", {}, 48000,
                  false};
const Stream kDts{"DTS", "dts", FileType::Dts, "-ac 2 -c:a dca -strict -2 -f dts", {}, 48000,
                  false};
const Stream kEac3With71{"E-AC-3 7.1", "eac3", FileType::Ac3, "-ac 6 -c:a eac3 -b:a 448k", {},
                         48000, true, test::WithDependentFrames};
const Stream kDtsHd{"DTS-HD", "dts", FileType::Dts, "-ac 2 -c:a dca -strict -2 -f dts", {},
                    48000, false, test::WithExtensionSubstreams};

Bytes MakeStream(const Stream& stream, const std::string& file) {
    if (stream.build) {
        return stream.build();
    }
    const auto r = test::RunCommand(
        "ffmpeg -nostdin -v error -f lavfi -i 'sine=frequency=1000:duration=4:sample_rate=" +
        std::to_string(stream.sampleRate) + "' " + stream.encoderOptions + " -y " +
        ShellQuote(file));
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    if (stream.extend == nullptr) {
        return test::ReadFile(file);
    }
    const Bytes extended = stream.extend(test::ReadFile(file));
    test::WriteFile(file, extended);
    return extended;
}

// Where each frame starts, by the frames' own lengths.
std::vector<std::size_t> FrameStarts(const Bytes& stream, FileType type) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < stream.size();) {
        starts.push_back(at);
        const auto length = ReadFrameFacts(type, std::span(stream).subspan(at)).length;
        if (length <= 0) {
            break;
        }
        at += static_cast<std::size_t>(length);
    }
    return starts;
}

Bytes Noise(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(count);
    for (std::uint8_t& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

TEST(DamagedStreams, AFrameWhoseOnlyFaultIsItsCrcIsCopiedAndNamed) {
    ASSERT_TRUE(test::HaveFfmpeg());
    const Stream protectedMp2{"MP2 with CRCs", "mp2", FileType::MpegAudio, "", ProtectedLayerTwo,
                              48000, true};
    // The line that names the 50th frame, whose payload is flipped; empty where the format
    // cannot see it (no CRC, or one that covers no samples).
    const std::pair<Stream, const char*> rows[] = {
        {kAc3, "Frame 50 at 00:00:01,568 has a CRC error: copied as it is."},
        {kAc3At44, "Frame 50 at 00:00:01,707 has a CRC error: copied as it is."},
        {kEac3, "Frame 50 at 00:00:01,568 has a CRC error: copied as it is."},
        {protectedMp2, "Frame 50 at 00:00:01,176 has a CRC error: copied as it is."},
        {kMp3, ""},
        {kDts, ""},
    };
    for (const auto& [stream, crcLine] : rows) {
        SCOPED_TRACE(stream.name);
        test::ScratchDir dir;
        const std::string source = dir.File(std::string("source.") + stream.extension);
        Bytes bytes = MakeStream(stream, source);
        // Payload bytes, past every header and, in MPEG audio, inside the bit allocation.
        const std::size_t at = FrameStarts(bytes, stream.type)[49] + (stream.build ? 6 : 100);
        for (std::size_t n = at; n < at + (stream.build ? 1 : 24); ++n) {
            bytes[n] ^= 0xA5;
        }
        test::WriteFile(source, bytes);

        const std::string target = dir.File(std::string("target.") + stream.extension);
        const auto r = test::RunVelmora({"/Source", source, "/Target", target, "/Startdelay",
                                         "-20", "/Hidden"});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        // A frame or two are cut at the start, yet frames are counted in the source.
        const Bytes written = test::ReadFile(target);
        EXPECT_TRUE(written.size() < bytes.size() &&
                    std::equal(written.begin(), written.end(),
                               bytes.end() - static_cast<std::ptrdiff_t>(written.size())));
        const std::string line = crcLine;
        EXPECT_EQ(r.err, line.empty() ? "" : line + "\n");
        const std::string report = test::ReadTextFile(dir.File("target.txt"));
        EXPECT_EQ(report.find("CRC error") != std::string::npos, !line.empty()) << report;
        if (!line.empty()) {
            EXPECT_NE(report.find("have been written.\r\n" + line + "\r\n"), std::string::npos)
                << report;
        }
    }
}

enum class Damage {
    FlippedPayload,
    LostSync,
    Cut184Bytes,
    JunkBetween,
    Run20Frames,
    First,
    Last,
    LostExtension,
    FlippedExtension,
};

struct DamageRow {
    Damage damage;
    const char* name;
    // Frames after the first damaged one before the decode is the clean stream's again; for
    // Layer III, whose frames take bytes from up to three frames before them, where frames'
    // bytes are lost.
    int settle;
    int layer3Settle;
    // What the report says of it (for extensions: of an E-AC-3 unit, of a DTS-HD one).
    const char* said;
    const char* saidOfDts = nullptr;
};

const DamageRow kDamage[] = {
    {Damage::FlippedPayload, "24 payload bytes flipped in frame 50", 2, 2,
     "has a CRC error: replaced by a silent frame."},
    {Damage::LostSync, "sync word of frame 50 destroyed", 2, 2,
     "has lost its sync word: replaced by a silent frame."},
    // Junk with a silent frame in its place; in E-AC-3 7.1, a unit whose CRC fails.
    {Damage::Cut184Bytes, "184 bytes cut out of frame 50", 2, 4, " silent frame"},
    // Under half of the shortest frame here (MP3's 384 bytes): junk that stands for no time.
    {Damage::JunkBetween, "150 junk bytes after frame 50", 2, 2,
     "150 bytes at 00:00:0"},
    {Damage::Run20Frames, "frames 50 to 69 overwritten", 21, 23, " silent frames in their place."},
    {Damage::First, "184 bytes cut out of the first frame", 2, 4, " at 00:00:00,000 (byte 0) "},
    {Damage::Last, "sync word of the last frame destroyed", 1, 1, "has lost its sync word"},
    // E-AC-3 loses the whole unit to silence; DTS-HD keeps the core, which is all ffmpeg plays.
    {Damage::LostExtension, "sync word of frame 50's dependent frame or substream destroyed", 2,
     2, "Frame 50 at 00:00:01,568 (byte 112896) has a damaged dependent frame: replaced by a "
        "silent frame.",
     " are the damaged extension substream of frame 50: left out, its core kept"},
    // A byte inside the dependent frame or the substream header, past their sizes: CRCs fail.
    {Damage::FlippedExtension, "a byte of frame 50's dependent frame or substream flipped", 2, 2,
     "Frame 50 at 00:00:01,568 (byte 112896) has a CRC error: replaced by a silent frame.",
     " are the damaged extension substream of frame 50: left out, its core kept"},
};

// The damaged copy, and the frame (from 0) where the damage starts.
std::pair<Bytes, std::size_t> Damaged(const Bytes& clean, const std::vector<std::size_t>& starts,
                                      FileType type, Damage damage) {
    Bytes bytes = clean;
    const std::size_t frame = damage == Damage::First  ? 0
                              : damage == Damage::Last ? starts.size() - 1
                                                       : 49;
    const auto at = static_cast<std::ptrdiff_t>(starts[frame]);
    switch (damage) {
        case Damage::FlippedPayload:
            for (std::ptrdiff_t n = 100; n < 124; ++n) {
                bytes[static_cast<std::size_t>(at + n)] ^= 0xA5;
            }
            break;
        case Damage::LostSync:
        case Damage::Last:
            bytes[static_cast<std::size_t>(at)] = 0;
            bytes[static_cast<std::size_t>(at) + 1] = 0;
            break;
        case Damage::LostExtension:
        case Damage::FlippedExtension: {
            // The unit's first frame ends where its header says; what follows is the rest.
            const FrameFacts facts = ReadFrameFacts(type, std::span(clean).subspan(starts[frame]));
            const auto rest = static_cast<std::size_t>(at + facts.length - facts.extensionBytes);
            if (damage == Damage::LostExtension) {
                bytes[rest] = 0;
                bytes[rest + 1] = 0;
            } else {
                bytes[rest + 12] ^= 0x10;
            }
            break;
        }
        case Damage::Cut184Bytes:
        case Damage::First:
            bytes.erase(bytes.begin() + at + 100, bytes.begin() + at + 284);
            break;
        case Damage::JunkBetween: {
            const Bytes junk = Noise(150, 5);
            bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(starts[frame + 1]),
                         junk.begin(), junk.end());
            break;
        }
        case Damage::Run20Frames: {
            const Bytes junk = Noise(starts[frame + 20] - starts[frame], 7);
            std::copy(junk.begin(), junk.end(), bytes.begin() + at);
            break;
        }
    }
    return {bytes, frame};
}

// With /Repair every damage is mended and the time kept: a strict decode gives exactly the
// clean stream's samples, silence where the damage was, and the clean audio again a frame
// or two later. Without it, the Part's behaviour: damage ends the write with nothing left.
TEST(DamagedStreams, RepairKeepsTheTimingAndSaysWhatItDid) {
    ASSERT_TRUE(test::HaveFfmpeg());
    for (const Stream& stream : {kAc3, kAc3At44, kEac3, kEac3With71, kMp2, kMp3, kDts, kDtsHd}) {
        test::ScratchDir dir;
        const std::string cleanFile = dir.File(std::string("clean.") + stream.extension);
        const Bytes clean = MakeStream(stream, cleanFile);
        const std::vector<std::size_t> starts = FrameStarts(clean, stream.type);
        const test::Decoded expected = test::DecodeStrictly(cleanFile);
        ASSERT_EQ(expected.errors, "");
        const std::size_t perFrame = expected.samples.size() / starts.size();
        for (const DamageRow& row : kDamage) {
            // Unseen where no CRC covers the samples; no extension to damage. A first unit
            // cut short hides its extension from the analysis, whose silence then lacks it.
            if ((row.damage == Damage::FlippedPayload && !stream.crc) ||
                ((row.damage == Damage::LostExtension || row.damage == Damage::FlippedExtension) &&
                 stream.extend == nullptr) ||
                (row.damage == Damage::First && stream.extend != nullptr)) {
                continue;
            }
            SCOPED_TRACE(std::string(stream.name) + ", " + row.name);
            const auto [bytes, frame] = Damaged(clean, starts, stream.type, row.damage);
            const std::string source = dir.File(std::string("source.") + stream.extension);
            test::WriteFile(source, bytes);
            const std::string target = dir.File(std::string("target.") + stream.extension);

            const auto plain =
                test::RunVelmora({"/Source", source, "/Target", target, "/Startdelay", "0",
                                  "/Norepair", "/Hidden"});
            const bool crcOnly =
                row.damage == Damage::FlippedPayload || row.damage == Damage::FlippedExtension;
            EXPECT_EQ(plain.exitStatus, crcOnly ? 0 : 1) << plain.err;

            const auto r = test::RunVelmora(
                {"/Source", source, "/Target", target, "/Startdelay", "0", "/Repair", "/Hidden"});
            ASSERT_EQ(r.exitStatus, 0) << r.err;
            const test::Decoded got = test::DecodeStrictly(target);
            EXPECT_EQ(got.errors, "");
            ASSERT_EQ(got.samples.size(), expected.samples.size());
            const int settle =
                std::string(stream.extension) == "mp3" ? row.layer3Settle : row.settle;
            const std::size_t from = (frame + static_cast<std::size_t>(settle)) * perFrame;
            const auto before = static_cast<std::ptrdiff_t>(frame * perFrame);
            EXPECT_TRUE(std::equal(got.samples.begin(), got.samples.begin() + before,
                                   expected.samples.begin()));
            // ffmpeg's AC-3 decoder dithers from one random generator, and its MPEG audio
            // synthesis carries its rounding error from sample to sample, across frames:
            // after a replaced frame, the last bits differ. A frame off, or a broken one,
            // differs by thousands.
            const int tolerance = stream.type == FileType::Dts ? 0 : 16;
            const auto after = static_cast<std::ptrdiff_t>(std::min(from, got.samples.size()));
            const auto near = [tolerance](std::int16_t a, std::int16_t b) {
                return std::abs(a - b) <= tolerance;
            };
            EXPECT_TRUE(std::equal(got.samples.begin() + after, got.samples.end(),
                                   expected.samples.begin() + after, near));
            if (row.damage == Damage::LostSync) {
                // The plan applies to the repaired stream: two frames cut at the start and two
                // added at the end keep the count, and the audio moves two frames earlier.
                const FrameFacts facts = ReadFrameFacts(stream.type, clean);
                const std::string twoFrames =
                    std::to_string(std::lround(2000.0 * facts.samples / stream.sampleRate));
                const auto moved = test::RunVelmora({"/Source", source, "/Target", target,
                                                     "/Startdelay", "-" + twoFrames, "/Enddelay",
                                                     twoFrames, "/Repair", "/Hidden"});
                ASSERT_EQ(moved.exitStatus, 0) << moved.err;
                const test::Decoded shifted = test::DecodeStrictly(target);
                ASSERT_EQ(shifted.samples.size(), expected.samples.size());
                const auto two = static_cast<std::ptrdiff_t>(2 * perFrame);
                const auto settled = static_cast<std::ptrdiff_t>(settle * perFrame);
                EXPECT_TRUE(std::equal(shifted.samples.begin() + settled,
                                       shifted.samples.begin() + before - two,
                                       expected.samples.begin() + settled + two, near));
                EXPECT_TRUE(std::equal(shifted.samples.begin() + after - two,
                                       shifted.samples.end() - two,
                                       expected.samples.begin() + after, near));
            }
            const std::string report = test::ReadTextFile(dir.File("target.txt"));
            EXPECT_NE(report.find("; the timing is kept.\r\n"), std::string::npos) << report;
            const bool dts = stream.type == FileType::Dts && row.saidOfDts != nullptr;
            EXPECT_NE(report.find(dts ? row.saidOfDts : row.said), std::string::npos) << report;
            EXPECT_NE(r.err.find("; the timing is kept."), std::string::npos) << r.err;
        }
    }
}

// More than a hundred damaged frames: the report names the first hundred and counts the
// rest; a repairing run's standard error gets only the sum.
TEST(DamagedStreams, TheFirstHundredAreNamedAndTheRestCounted) {
    ASSERT_TRUE(test::HaveFfmpeg());
    test::ScratchDir dir;
    const std::string source = dir.File("source.ac3");
    Bytes bytes = MakeStream(kAc3, source);
    const std::vector<std::size_t> starts = FrameStarts(bytes, FileType::Ac3);
    for (std::size_t frame = 0; frame < 120; ++frame) {
        bytes[starts[frame] + 100] ^= 0xA5;
    }
    test::WriteFile(source, bytes);
    const struct {
        const char* repairSwitch;
        const char* more;
        std::size_t errorLines;
    } rows[] = {
        {"/Norepair", "... and 20 frames more with a CRC error, copied as they are.\r\n", 101},
        {"/Repair", "... and 20 repairs more.\r\n120 damaged frames replaced by silence; the "
                    "timing is kept.\r\n", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.repairSwitch);
        const std::string target = dir.File("target.ac3");
        const auto r = test::RunVelmora({"/Source", source, "/Target", target, "/Startdelay", "0",
                                         row.repairSwitch, "/Hidden"});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        const std::string report = test::ReadTextFile(dir.File("target.txt"));
        std::size_t named = 0;
        for (std::size_t at = report.find("has a CRC error"); at != std::string::npos;
             at = report.find("has a CRC error", at + 1)) {
            ++named;
        }
        // The information before Write names what it finds in the first 64 frames too.
        EXPECT_EQ(named, 100U + 64U) << report;
        EXPECT_NE(report.find("Frame 100 at 00:00:03,168 "), std::string::npos) << report;
        EXPECT_NE(report.find(row.more), std::string::npos) << report;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), row.errorLines) << r.err;
    }
}

}  // namespace
}  // namespace velmora
