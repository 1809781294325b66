// Corrects streams made by real encoders and lets a real decoder judge the result: no error,
// and exactly the planned frames more or fewer.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/analyse_source.h"
#include "correction/aac_test_stream.h"
#include "correction/correction_plan.h"
#include "correction/damage_preview.h"
#include "correction/dts_test_stream.h"
#include "correction/eac3_test_stream.h"
#include "correction/recording_observer.h"
#include "correction/target_writer.h"
#include "correction/wav_copy.h"
#include "correction/wav_test_file.h"
#include "formats/dts_frame.h"
#include "silence/bit_writer.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::Bytes;
using test::ShellQuote;

struct Stream {
    const char* name;
    const char* extension;
    int samplingRate;
    const char* encoderOptions;
    FileType fileType;
    // The stream starts with an info frame that players read the stream's length from.
    bool infoFrame = false;
    // An extension substream follows every core frame, as in DTS-HD.
    bool extensionSubstreams = false;
    // A dependent frame with the back surround pair follows every E-AC-3 frame: 7.1.
    bool dependentFrames = false;
    // How the encoder's stream is rebuilt into one that other encoders write.
    Bytes (*rebuilt)(const Bytes&) = nullptr;
};

const Stream kStreams[] = {
    {"Ac3_32k", "ac3", 32000, "-c:a ac3 -b:a 96k", FileType::Ac3},
    {"Ac3_44k", "ac3", 44100, "-c:a ac3 -b:a 192k", FileType::Ac3},
    {"Ac3_48k", "ac3", 48000, "-c:a ac3 -b:a 448k", FileType::Ac3},
    {"Mp2_44k", "mp2", 44100, "-c:a mp2 -b:a 192k -f mp2", FileType::MpegAudio},
    {"Mp2_48k", "mpa", 48000, "-c:a mp2 -b:a 192k -f mp2", FileType::MpegAudio},
    {"Mp2_22k", "mp2", 22050, "-c:a mp2 -b:a 64k -f mp2", FileType::MpegAudio},
    {"Mp2_24k", "mpa", 24000, "-c:a mp2 -b:a 64k -f mp2", FileType::MpegAudio},
    // Tags at both ends and the info frame the muxer writes for a constant bit rate.
    {"Mp3_44k_Tags", "mp3", 44100,
     "-c:a libmp3lame -b:a 128k -metadata title=Song -id3v2_version 3 -write_id3v1 1",
     FileType::MpegAudio, true},
    {"Mp3_44k_Vbr", "mp3", 44100, "-c:a libmp3lame -q:a 2", FileType::MpegAudio, true},
    {"Mp3_Mpeg2_24k", "mp3", 24000, "-c:a libmp3lame -b:a 64k -write_xing 0",
     FileType::MpegAudio},
    {"Mp3_Mpeg25_11k", "mp3", 11025, "-c:a libmp3lame -b:a 32k -write_xing 0",
     FileType::MpegAudio},
    {"Dts_48k", "dts", 48000, "-c:a dca -strict -2 -f dts", FileType::Dts},
    {"DtsHd_48k", "dts", 48000, "-c:a dca -strict -2 -f dts", FileType::Dts, false, true},
    {"Eac3_48k_51_640", "eac3", 48000, "-ac 6 -c:a eac3 -b:a 640k", FileType::Ac3},
    {"Eac3_48k_20_192", "ec3", 48000, "-c:a eac3 -b:a 192k -f eac3", FileType::Ac3},
    {"Eac3_44k_20_256", "eac3", 44100, "-c:a eac3 -b:a 256k", FileType::Ac3},
    {"Eac3_32k_51_384", "eac3", 32000, "-ac 6 -c:a eac3 -b:a 384k", FileType::Ac3},
    {"Eac3_48k_71", "eac3", 48000, "-ac 6 -c:a eac3 -b:a 448k", FileType::Ac3, false, false, true},
    {"Aac_48k_20", "aac", 48000, "-c:a aac -b:a 128k -f adts", FileType::Aac},
    {"Aac_48k_51", "aac", 48000, "-ac 6 -c:a aac -f adts", FileType::Aac},
    // An ID3v2 tag in front and an APEv2 tag behind, as some writers add them.
    {"Aac_44k_10_Tags", "adts", 44100,
     "-ac 1 -c:a aac -f adts -write_id3v2 1 -write_apetag 1 -metadata title=Song",
     FileType::Aac},
    {"Aac_48k_20_Crc", "aac", 48000, "-c:a aac -f adts", FileType::Aac, false, false, false,
     test::WithAdtsCrc},
    {"Aac_48k_20_TwoBlocks", "aac", 48000, "-c:a aac -f adts", FileType::Aac, false, false,
     false, test::WithTwoBlocks},
    {"Wav_16_Stereo_List", "wav", 48000, "-c:a pcm_s16le -metadata title=Song", FileType::Wav},
    {"Wav_24_51_Extensible", "wav", 48000, "-ac 6 -c:a pcm_s24le", FileType::Wav},
    {"Wav_Float32_Fact", "wav", 44100, "-c:a pcm_f32le", FileType::Wav},
    // Odd data sizes: the pad byte comes and goes.
    {"Wav_8_Mono", "wav", 11025, "-ac 1 -c:a pcm_u8", FileType::Wav},
    {"Wav_Rf64", "wav", 48000, "-c:a pcm_s16le -rf64 always", FileType::Wav},
    {"Wav_Markers", "wav", 48000, "-c:a pcm_s16le", FileType::Wav, false, false, false,
     [](const Bytes& wav) { return test::WithMarkers(wav); }},
    // The same after odd-sized samples: the chunks behind them move with the pad byte.
    {"Wav_8_Mono_Markers", "wav", 11025, "-ac 1 -c:a pcm_u8", FileType::Wav, false, false, false,
     [](const Bytes& wav) { return test::WithMarkers(wav); }},
};

// Names the stream in test output instead of dumping its bytes.
void PrintTo(const Stream& stream, std::ostream* os) {
    *os << stream.name;
}

// Three seconds of a stereo tone.
bool Encode(const Stream& stream, const std::string& file) {
    const test::CommandResult r = test::RunCommand(
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=" +
        std::to_string(stream.samplingRate) + ":duration=3 -ac 2 " + stream.encoderOptions + " " +
        ShellQuote(file));
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    if (r.exitStatus == 0 && stream.extensionSubstreams) {
        test::WriteFile(file, test::WithExtensionSubstreams(test::ReadFile(file)));
    }
    if (r.exitStatus == 0 && stream.dependentFrames) {
        test::WriteFile(file, test::WithDependentFrames(test::ReadFile(file)));
    }
    if (r.exitStatus == 0 && stream.rebuilt != nullptr) {
        test::WriteFile(file, stream.rebuilt(test::ReadFile(file)));
    }
    return r.exitStatus == 0;
}

// Decodes the whole stream strictly; samples per channel, or -1 when the decoder complained.
// `raw` counts every sample the frames hold; otherwise the players' trimming of encoder delay
// and padding applies.
std::int64_t DecodedSamples(const std::string& file, bool raw = true) {
    const test::CommandResult r =
        test::RunCommand(std::string("ffmpeg -v error -xerror -err_detect crccheck+explode ") +
                         (raw ? "-flags2 +skip_manual " : "") + "-i " + ShellQuote(file) +
                         " -af asetpts=N/SR/TB -f s16le -ac 1 - | wc -c");
    EXPECT_EQ(r.exitStatus, 0) << file << ": " << r.err;
    EXPECT_EQ(r.err, "") << file;
    if (r.exitStatus != 0 || !r.err.empty()) {
        return -1;
    }
    return std::stoll(r.out) / 2;
}

// The stream's length as players show it before decoding, in samples.
std::int64_t ProbedSamples(const std::string& file, int samplingRate) {
    const test::CommandResult r = test::RunCommand(
        "ffprobe -v error -show_entries format=duration -of csv=p=0 " + ShellQuote(file));
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    return std::llround(std::stod(r.out) * samplingRate);
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

class RealStreams : public ::testing::TestWithParam<Stream> {};

TEST_P(RealStreams, DecodeCleanlyWithExactlyThePlannedFrames) {
    ASSERT_TRUE(test::HaveFfmpeg());
    const Stream& stream = GetParam();
    test::ScratchDir dir;
    const std::string source = dir.File(std::string("source.") + stream.extension);
    ASSERT_TRUE(Encode(stream, source));
    const SourceAnalysis analysis = AnalyseSource(source, stream.fileType);
    const StreamInfo& info = analysis.info;
    ASSERT_GT(info.FrameLength, 0) << analysis.report.value_or("");
    ASSERT_EQ(info.SamplingRate, stream.samplingRate);
    EXPECT_EQ(info.InfoFrameLength > 0, stream.infoFrame);
    // A clean stream shows no damage before Write.
    EXPECT_EQ(DamageNearTheStart(source, info, stream.fileType, 64), "");
    const std::int64_t sourceSamples = DecodedSamples(source);
    const std::int64_t sourcePlayed = DecodedSamples(source, false);
    ASSERT_GT(sourceSamples, 0);

    struct Delays {
        std::int32_t start;
        std::int32_t end;
    };
    std::vector<Delays> delays = {{-100, 64}, {200, -200}};
    if (stream.fileType == FileType::Wav) {
        // 11 samples at 11.025 kHz: the samples' parity changes, and the pad byte with it.
        delays.push_back({-1, 0});
    }
    for (const auto& delay : delays) {
        SCOPED_TRACE(std::to_string(delay.start) + "/" + std::to_string(delay.end));
        const std::string target =
            dir.File("target_" + std::to_string(delay.start) + "." + stream.extension);
        test::RecordingObserver observer;
        const WriteResult result = WriteTarget(
            WriteRequest{source, target, stream.fileType, delay.start, delay.end}, info, observer);
        ASSERT_EQ(result.outcome, WriteOutcome::Complete) << result.message;

        const CorrectionPlan plan = MakeCorrectionPlan(delay.start, delay.end, info).plan;
        if (stream.dependentFrames) {
            // Units of one size, cut and added whole: never a frame without its dependent.
            EXPECT_EQ(test::ReadFile(target).size() % static_cast<std::size_t>(info.FrameLength), 0u);
        }
        const std::int64_t frameChange =
            plan.addStartFrames + plan.addEndFrames - plan.cutStartFrames - plan.cutEndFrames;
        const std::int64_t sampleChange = frameChange * info.SamplesPerFrame;
        EXPECT_EQ(DecodedSamples(target), sourceSamples + sampleChange);
        if (stream.fileType == FileType::Wav) {
            test::ExpectWavCorrected(test::ReadFile(source), test::ReadFile(target),
                                     plan.cutStartFrames, plan.addStartFrames, plan.cutEndFrames,
                                     plan.addEndFrames);
        }
        // Whole frames come within half a frame of the delay asked for.
        for (const auto& [ms, frames] : {std::pair{delay.start,
                                                   plan.cutStartFrames + plan.addStartFrames},
                                         std::pair{delay.end,
                                                   plan.cutEndFrames + plan.addEndFrames}}) {
            const double achievedMs = 1000.0 * static_cast<double>(frames * info.SamplesPerFrame) /
                                      stream.samplingRate;
            // An exact half (1102.5 samples) is allowed: the nanosecond is rounding.
            EXPECT_LE(std::abs(achievedMs - std::abs(ms)),
                      500.0 * info.SamplesPerFrame / stream.samplingRate + 1e-6);
        }
        if (stream.infoFrame) {
            // The info frame was brought up to date: players show the new length, and with
            // the frames cut at the start and added at the end their trimming still holds.
            EXPECT_EQ(ProbedSamples(target, stream.samplingRate),
                      ProbedSamples(source, stream.samplingRate) + sampleChange);
            if (plan.cutEndFrames == 0) {
                EXPECT_EQ(DecodedSamples(target, false), sourcePlayed + sampleChange);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(TargetWriter, RealStreams, ::testing::ValuesIn(kStreams),
                         [](const ::testing::TestParamInfo<Stream>& info) {
                             return std::string(info.param.name);
                         });

// ID3v2 before the frames and ID3v1 or APEv2 after them are copied as they are, around the
// frames added at both ends.
TEST(RealStreamTags, StayWhereTheyWere) {
    ASSERT_TRUE(test::HaveFfmpeg());
    // The APEv2 tag: 32-byte header, two items and the footer.
    for (const auto& [index, tagBehind] : {std::pair{7, 128u}, std::pair{20, 107u}}) {
        const Stream& stream = kStreams[index];
        SCOPED_TRACE(stream.name);
        ASSERT_NE(std::string(stream.name).find("_Tags"), std::string::npos);
        test::ScratchDir dir;
        const std::string source = dir.File(std::string("source.") + stream.extension);
        ASSERT_TRUE(Encode(stream, source));
        const StreamInfo info = AnalyseSource(source, stream.fileType).info;
        test::RecordingObserver observer;
        const std::string target = dir.File(std::string("target.") + stream.extension);
        ASSERT_EQ(WriteTarget(WriteRequest{source, target, stream.fileType, 300, 100}, info,
                              observer)
                      .outcome,
                  WriteOutcome::Complete);
        const Bytes in = test::ReadFile(source);
        const Bytes out = test::ReadFile(target);
        const auto head = static_cast<std::size_t>(info.AudioStart);
        const std::size_t tail = in.size() - static_cast<std::size_t>(info.AudioEnd);
        EXPECT_EQ(Slice(out, 0, head), Slice(in, 0, head));
        EXPECT_EQ(Slice(out, out.size() - tail, tail), Slice(in, in.size() - tail, tail));
        EXPECT_GT(head, 10u);
        EXPECT_EQ(tail, tagBehind);
    }
}

// A RIFF target past the 4-GiB size field is written as RF64: the 28-byte JUNK placeholder
// some writers leave becomes its ds64, or a ds64 goes in front. (The limit is lowered here.)
TEST(RealStreamWav, PastTheRiffLimitTheTargetIsRf64) {
    ASSERT_TRUE(test::HaveFfmpeg());
    for (const char* options : {"-c:a pcm_s16le -rf64 auto", "-c:a pcm_s16le"}) {
        SCOPED_TRACE(options);
        const Stream stream{"Wav", "wav", 48000, options, FileType::Wav};
        test::ScratchDir dir;
        const std::string source = dir.File("source.wav");
        const std::string target = dir.File("target.wav");
        ASSERT_TRUE(Encode(stream, source));
        const StreamInfo info = AnalyseSource(source, FileType::Wav).info;
        const CorrectionPlan plan = MakeCorrectionPlan(-100, 64, info).plan;
        InputFile in;
        OutputFile out;
        ASSERT_TRUE(in.Open(source) && out.CreateNew(target));
        test::RecordingObserver observer;
        const CopyState copy =
            CopySamples(in, out, *in.Length(), plan, info, observer, 100000);
        ASSERT_TRUE(out.Close());
        EXPECT_EQ(copy.end, CopyEnd::Done);
        EXPECT_NE(copy.formatLines.find("written as RF64"), std::string::npos);
        const Bytes written = test::ReadFile(target);
        EXPECT_EQ(std::string(written.begin(), written.begin() + 4), "RF64");
        // The placeholder, where there was one, is gone into the ds64.
        const auto chunks = test::WavChunks(written);
        ASSERT_GE(chunks.size(), 2u);
        EXPECT_EQ(chunks[0].first + chunks[1].first, "ds64fmt ");
        EXPECT_EQ(DecodedSamples(target), DecodedSamples(source) - plan.cutStartFrames +
                                              plan.addEndFrames);
        test::ExpectWavCorrected(test::ReadFile(source), written, plan.cutStartFrames, 0, 0,
                                 plan.addEndFrames);
    }
}

// A frame overwritten with junk in the middle of a variable stream stops the copy there,
// with exactly the frames before it in the target.
TEST(RealStreamDamage, JunkFrameStopsTheCopyThere) {
    ASSERT_TRUE(test::HaveFfmpeg());
    test::ScratchDir dir;
    const Stream& vbr = kStreams[8];
    ASSERT_EQ(std::string(vbr.name), "Mp3_44k_Vbr");
    const std::string source = dir.File("source.mp3");
    ASSERT_TRUE(Encode(vbr, source));
    // The positions of the audio frames, as the outside demuxer finds them.
    const test::CommandResult probe = test::RunCommand(
        "ffprobe -v error -select_streams a -show_entries packet=pos -of csv=p=0 " +
        ShellQuote(source));
    ASSERT_EQ(probe.exitStatus, 0) << probe.err;
    std::vector<std::size_t> positions;
    std::istringstream lines(probe.out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])) != 0) {
            positions.push_back(std::stoul(line));  // side data adds lines of its own
        }
    }
    ASSERT_GT(positions.size(), 60u);
    Bytes bytes = test::ReadFile(source);
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(positions[49]), 8, 0x5A);
    test::WriteFile(source, bytes);

    const StreamInfo info = AnalyseSource(source, FileType::MpegAudio).info;
    test::RecordingObserver observer;
    const std::string target = dir.File("target.mp3");
    const WriteResult result =
        WriteTarget(WriteRequest{source, target, FileType::MpegAudio, 0, 0}, info, observer);
    EXPECT_EQ(result.outcome, WriteOutcome::SourceDamaged);
    EXPECT_EQ(result.framesWritten, 49);
    // Everything but the info frame, whose counts now describe the 49 frames, is as it was.
    const Bytes out = test::ReadFile(target);
    ASSERT_EQ(out.size(), positions[49]);
    EXPECT_EQ(Slice(out, positions[0], positions[49] - positions[0]),
              Slice(bytes, positions[0], positions[49] - positions[0]));
    EXPECT_EQ(DecodedSamples(target), 49 * 1152);
}


// ---- Streams as other tools leave them: bytes in front, tags behind, words swapped.

Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes Joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

void PutSyncsafe(Bytes& out, std::size_t value) {
    for (int shift = 21; shift >= 0; shift -= 7) {
        out.push_back(static_cast<std::uint8_t>(value >> shift & 0x7F));
    }
}

void PutLittle32(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// An ID3v2.4 tag holding one PRIV frame (the timestamp of packed audio in live streams),
// long enough that its size needs more than one syncsafe byte; with a footer when asked.
Bytes Id3v24Tag(bool footer) {
    Bytes body = Text("PRIV");
    const Bytes owner =
        Text(std::string_view("com.apple.streaming.transportStreamTimestamp\0", 45));
    const std::size_t payload = owner.size() + 8 + 250;
    PutSyncsafe(body, payload);
    body.insert(body.end(), {0, 0});
    body.insert(body.end(), owner.begin(), owner.end());
    body.resize(body.size() + payload - owner.size(), 0x11);
    Bytes tag = Text("ID3");
    tag.insert(tag.end(), {4, 0, static_cast<std::uint8_t>(footer ? 0x10 : 0)});
    PutSyncsafe(tag, body.size());
    const Bytes header = tag;
    tag.insert(tag.end(), body.begin(), body.end());
    if (footer) {
        tag.insert(tag.end(), {'3', 'D', 'I'});
        tag.insert(tag.end(), header.begin() + 3, header.end());
    }
    return tag;
}

// An APE tag with one item; APEv2 may have a header (flag bit 31, and bit 29 on the header).
Bytes ApeTag(bool v2WithHeader) {
    Bytes item;
    PutLittle32(item, 4);
    PutLittle32(item, 0);
    const Bytes key = Text(std::string_view("Title\0Song", 10));
    item.insert(item.end(), key.begin(), key.end());
    const auto part = [&](std::uint32_t flags) {
        Bytes bytes = Text("APETAGEX");
        PutLittle32(bytes, v2WithHeader ? 2000 : 1000);
        PutLittle32(bytes, static_cast<std::uint32_t>(item.size() + 32));
        PutLittle32(bytes, 1);
        PutLittle32(bytes, flags);
        bytes.resize(bytes.size() + 8, 0);
        return bytes;
    };
    const std::uint32_t hasHeader = v2WithHeader ? 0x80000000U : 0;
    return Joined({v2WithHeader ? part(hasHeader | 0x20000000U) : Bytes{}, item, part(hasHeader)});
}

Bytes Lyrics3v2Tag() {
    const Bytes fields = Text("LYRICSBEGININD0000210LYR00005hello");
    Bytes size = Text(std::to_string(fields.size()));
    size.insert(size.begin(), 6 - size.size(), '0');
    return Joined({fields, size, Text("LYRICS200")});
}

Bytes Id3v1Tag() {
    Bytes tag = Text("TAGSong");
    tag.resize(128, 0);
    return tag;
}

Bytes Swapped(Bytes bytes) {
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        std::swap(bytes[at], bytes[at + 1]);
    }
    return bytes;
}

// CRC-16 over the encoder tag of an info frame, as players check it: polynomial 0x8005,
// reflected, from 0, over the frame up to the CRC.
std::uint16_t EncoderTagCrc(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1);
        }
    }
    return crc;
}

std::uint32_t BigEndian32(const Bytes& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 |
                                      bytes[at + 3]);
}

// The target's info frame agrees with the target: its byte count covers the info frame and
// every frame after it, and its encoder tag's CRC fits.
void ExpectInfoFrameHolds(const Bytes& target, std::size_t framesStart, std::size_t framesEnd) {
    const std::string text(target.begin(), target.end());
    std::size_t tag = text.find("Info", framesStart);
    tag = std::min(tag, text.find("Xing", framesStart));
    ASSERT_LT(tag, framesStart + 64);
    const std::uint32_t flags = BigEndian32(target, tag + 4);
    ASSERT_EQ(flags & 3, 3u);
    EXPECT_EQ(BigEndian32(target, tag + 12), framesEnd - framesStart);
    const std::size_t lame = text.find("Lavc", tag);
    ASSERT_LT(lame, tag + 160);
    const std::uint16_t crc =
        EncoderTagCrc(std::span(target).subspan(framesStart, lame + 34 - framesStart));
    EXPECT_EQ(target[lame + 34] << 8 | target[lame + 35], crc);
}

const Stream kPlainMp3 = {"Mp3", "mp3", 44100, "-c:a libmp3lame -q:a 2 -id3v2_version 0",
                          FileType::MpegAudio, true};

struct Dressed {
    const char* name;
    // A pointer: GCC 12 loses the name of rows whose struct holds a reference here.
    const Stream* stream;
    Bytes kept;     // in front and kept: tags and the zeros that pad them
    Bytes dropped;  // after those and left out: zeros or junk
    Bytes tail;     // after the frames and kept
    bool swapped;
};

void PrintTo(const Dressed& row, std::ostream* os) {
    *os << row.name;
}

Bytes Junk() {
    Bytes junk(300);
    for (std::size_t i = 0; i < junk.size(); ++i) {
        junk[i] = static_cast<std::uint8_t>(0x21 + i * 37 % 90);
    }
    return junk;
}

const Dressed kDressed[] = {
    {"Mp3ZerosInFront", &kPlainMp3, {}, Bytes(240, 0), {}, false},
    {"Mp3JunkInFront", &kPlainMp3, {}, Junk(), {}, false},
    {"Mp3Id3v2PaddedWithZeros", &kPlainMp3, Joined({Id3v24Tag(false), Bytes(10, 0)}), {}, {},
     false},
    {"Mp3ApeV2AndId3v1", &kPlainMp3, {}, {}, Joined({ApeTag(true), Id3v1Tag()}), false},
    {"Mp3ApeV1", &kPlainMp3, {}, {}, ApeTag(false), false},
    {"Mp3ApeLyrics3v2Id3v1", &kPlainMp3, {}, {},
     Joined({ApeTag(true), Lyrics3v2Tag(), Id3v1Tag()}), false},
    {"Mp3Lyrics3v1Id3v1", &kPlainMp3, {}, {},
     Joined({Text("LYRICSBEGINla la laLYRICSEND"), Id3v1Tag()}), false},
    {"Mp3Id3v24WithFooterBehind", &kPlainMp3, {}, {}, Id3v24Tag(true), false},
    {"Ac3BehindId3v2", &kStreams[2], Id3v24Tag(false), {}, {}, false},
    {"Ac3ZerosInFront", &kStreams[2], {}, Bytes(215, 0), {}, false},
    {"Ac3Swapped", &kStreams[1], {}, {}, {}, true},
    {"Eac3Swapped", &kStreams[13], {}, {}, {}, true},
};

class DressedStreams : public ::testing::TestWithParam<Dressed> {};

TEST_P(DressedStreams, CorrectedWithTheirTagsAsPlayersReadThem) {
    ASSERT_TRUE(test::HaveFfmpeg());
    const Dressed& row = GetParam();
    test::ScratchDir dir;
    const std::string plain = dir.File(std::string("plain.") + row.stream->extension);
    ASSERT_TRUE(Encode(*row.stream, plain));
    const std::int64_t plainSamples = DecodedSamples(plain);
    const Bytes frames = row.swapped ? Swapped(test::ReadFile(plain)) : test::ReadFile(plain);
    const std::string source = dir.File(std::string("source.") + row.stream->extension);
    test::WriteFile(source, Joined({row.kept, row.dropped, frames, row.tail}));
    const SourceAnalysis analysis = AnalyseSource(source, row.stream->fileType);
    const std::string report = analysis.report.value_or("");
    ASSERT_GT(analysis.info.FrameLength, 0) << report;
    EXPECT_EQ(report.find(std::to_string(row.dropped.size()) + " bytes before the first frame") !=
                  std::string::npos,
              !row.dropped.empty())
        << report;
    EXPECT_EQ(report.find("byte-swapped") != std::string::npos, row.swapped) << report;

    for (const auto& [start, end] : {std::pair{-100, 64}, std::pair{200, -200}}) {
        SCOPED_TRACE(std::to_string(start) + "/" + std::to_string(end));
        const std::string target = dir.File("target." + std::string(row.stream->extension));
        test::RecordingObserver observer;
        const WriteResult result = WriteTarget(
            WriteRequest{source, target, row.stream->fileType, start, end}, analysis.info,
            observer);
        ASSERT_EQ(result.outcome, WriteOutcome::Complete) << result.message;
        EXPECT_EQ(observer.InfoText().find("too short"), std::string::npos);
        const Bytes out = test::ReadFile(target);
        ASSERT_GT(out.size(), row.kept.size() + row.tail.size());
        EXPECT_EQ(Slice(out, 0, row.kept.size()), row.kept);
        EXPECT_EQ(Slice(out, out.size() - row.tail.size(), row.tail.size()), row.tail);
        const std::size_t framesEnd = out.size() - row.tail.size();
        const Bytes corrected = Slice(out, row.kept.size(), framesEnd - row.kept.size());
        const std::string framesFile = dir.File("frames." + std::string(row.stream->extension));
        test::WriteFile(framesFile, row.swapped ? Swapped(corrected) : corrected);
        const CorrectionPlan plan = MakeCorrectionPlan(start, end, analysis.info).plan;
        EXPECT_EQ(DecodedSamples(framesFile),
                  plainSamples + (plan.addStartFrames + plan.addEndFrames - plan.cutStartFrames -
                                  plan.cutEndFrames) * analysis.info.SamplesPerFrame);
        if (row.stream->infoFrame) {
            ExpectInfoFrameHolds(out, row.kept.size(), framesEnd);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(OtherTools, DressedStreams, ::testing::ValuesIn(kDressed),
                         [](const ::testing::TestParamInfo<Dressed>& info) {
                             return std::string(info.param.name);
                         });

// Two encodes joined: AC-3 may change its bsid within 0..8 (here 8 to the alternate syntax,
// 6), but not its sampling rate.
TEST(RealStreamJoins, ABsidChangeIsOneStreamARateChangeIsDamage) {
    ASSERT_TRUE(test::HaveFfmpeg());
    test::ScratchDir dir;
    const Stream alternate = {"Ac3_48k_Bsid6", "ac3", 48000,
                              "-c:a ac3 -b:a 448k -ad_conv_type hdcd",
                              FileType::Ac3};
    const struct {
        const Stream& second;
        WriteOutcome outcome;
    } rows[] = {{alternate, WriteOutcome::Complete}, {kStreams[1], WriteOutcome::SourceDamaged}};
    const std::string first = dir.File("first.ac3");
    ASSERT_TRUE(Encode(kStreams[2], first));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.second.name);
        const std::string second = dir.File("second.ac3");
        ASSERT_TRUE(Encode(row.second, second));
        const Bytes secondBytes = test::ReadFile(second);
        ASSERT_EQ(secondBytes[5] >> 3, row.second.samplingRate == 48000 ? 6 : 8);
        const std::string source = dir.File("joined.ac3");
        test::WriteFile(source, Joined({test::ReadFile(first), secondBytes}));
        const StreamInfo info = AnalyseSource(source, FileType::Ac3).info;
        test::RecordingObserver observer;
        const std::string target = dir.File("target.ac3");
        const WriteResult result =
            WriteTarget(WriteRequest{source, target, FileType::Ac3, 0, 0}, info, observer);
        EXPECT_EQ(result.outcome, row.outcome) << result.message;
        if (row.outcome == WriteOutcome::Complete) {
            EXPECT_EQ(DecodedSamples(target), DecodedSamples(first) + DecodedSamples(second));
        }
    }
}

}  // namespace
}  // namespace velmora
