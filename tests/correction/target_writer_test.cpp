// The target writer on small streams built byte by byte: target bytes, report, status order.
#include "correction/target_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include "common/number_text.h"
#include "correction/ac3_test_stream.h"
#include "correction/correction_plan.h"
#include "correction/recording_observer.h"
#include "correction/report_file.h"
#include "silence/bit_writer.h"
#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::Ac3Frames;
using test::Ac3Info;
using test::Bytes;
using test::kFrame;
using test::RecordingObserver;

const std::string kSourceInfo =
    "Source file information:\r\n\r\nSampling rate: 48 kHz\r\nNominal bit rate: 448 kbps\r\n";
const std::string kTargetHeader = "\r\nTarget file information:\r\n\r\n";
const std::string kRateLine = "There are 31.25 frames in one second.";
// 100 ms is 3 frames of 32 ms: 4 ms are left for the muxer.
const std::string kLeftPlus4 =
    "Remaining delay at beginning: 4.0ms (less than one frame), to be set in the muxer.\r\n";
const std::string kLeftMinus4 =
    "Remaining delay at beginning: -4.0ms (less than one frame), to be set in the muxer.\r\n";

// Frame `index` of a stream of `frameLength`-byte frames.
Bytes FrameOf(const Bytes& stream, std::int64_t index, std::int64_t frameLength = kFrame) {
    const auto begin = stream.begin() + index * frameLength;
    return Bytes(begin, begin + frameLength);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes Repeat(const Bytes& frame, int times) {
    Bytes all;
    for (int i = 0; i < times; ++i) {
        all.insert(all.end(), frame.begin(), frame.end());
    }
    return all;
}

Bytes FirstFrames(const Bytes& stream, std::int64_t count, std::int64_t frameLength = kFrame) {
    return Bytes(stream.begin(), stream.begin() + count * frameLength);
}

// One write from a source file holding `source` into target.ac3 of a fresh scratch folder.
struct WriteRun {
    test::ScratchDir dir;
    RecordingObserver observer{kSourceInfo};
    WriteResult result;
    std::string sourceName;
    std::string targetName;

    WriteRun(const Bytes& source, const std::string& startText, const std::string& endText,
             const StreamInfo& info = Ac3Info(), FileType fileType = FileType::Ac3,
             const std::string& targetFile = "target.ac3") {
        sourceName = dir.File("source.ac3");
        targetName = dir.File(targetFile);
        test::WriteFile(sourceName, source);
        WriteRequest request;
        request.sourceName = sourceName;
        request.targetName = targetName;
        request.fileType = fileType;
        // The delay boxes' texts, read where Write reads them.
        request.startDelayMs = ReadWholeMilliseconds(startText);
        request.endDelayMs = ReadWholeMilliseconds(endText);
        result = WriteTarget(request, info, observer);
    }

    [[nodiscard]] Bytes Target() const { return test::ReadFile(targetName); }
    [[nodiscard]] std::string ReportText() const {
        return test::ReadTextFile(dir.File("target.txt"));
    }
    [[nodiscard]] bool ReportExists() const { return fs::exists(dir.File("target.txt")); }
};

// A complete write: the report file is the whole information text, which is the source
// information, the plan lines and then exactly `targetInformation`.
void ExpectComplete(const WriteRun& run, const std::string& planLines,
                    const std::string& targetInformation) {
    EXPECT_EQ(run.result.outcome, WriteOutcome::Complete) << run.result.message;
    EXPECT_EQ(run.observer.InfoText(), kSourceInfo + planLines + targetInformation);
    EXPECT_EQ(run.ReportText(), run.observer.InfoText());
    EXPECT_EQ(run.result.reportName, run.dir.File("target.txt"));
    EXPECT_FALSE(run.result.reportRenamed);
    EXPECT_FALSE(run.observer.busyPointer);
    EXPECT_EQ(run.observer.lastProgressValue, 0);
}

TEST(TargetWriter, NoDelayCopiesTheWholeFrames) {
    const Bytes source = Ac3Frames(10);
    const WriteRun run(source, "0", "");
    EXPECT_EQ(run.Target(), source);
    EXPECT_EQ(run.result.framesWritten, 10);
    ExpectComplete(run, "",
                   kTargetHeader + "10 frames (00:00:00,320) have been written.\r\n" + kRateLine);
    EXPECT_EQ(run.observer.Statuses(), (std::vector<std::string>{"Writing...", "pending..."}));
}

TEST(TargetWriter, NoDelayLeavesOutTheShortPieceAtTheEnd) {
    const Bytes frames = Ac3Frames(10);
    const WriteRun run(Concat({frames, Bytes(100, 0x0B)}), "", "");
    EXPECT_EQ(run.Target(), frames);
    ExpectComplete(run, "",
                   kTargetHeader + "10 frames (00:00:00,320) have been written.\r\n" +
                       "Last frame was too short. Ignored.\r\n" + kRateLine);
}

TEST(TargetWriter, PositiveStartDelayRepeatsTheFirstFrame) {
    const Bytes source = Ac3Frames(10);
    const WriteRun run(source, "100", "");
    EXPECT_EQ(run.Target(), Concat({Repeat(FrameOf(source, 0), 3), source}));
    EXPECT_EQ(run.result.framesWritten, 13);
    ExpectComplete(run, "100ms (00:00:00,096) to be add at beginning.\r\n" + kLeftPlus4,
                   kTargetHeader + "3 frames (96ms) have been added at start.\r\n" +
                       "13 frames (00:00:00,416) have been written.\r\n" + kRateLine);
    EXPECT_EQ(run.observer.Statuses(),
              (std::vector<std::string>{"Adding 3 frames.", "Writing...", "pending..."}));
}

TEST(TargetWriter, SingleAddedFrameIsSingularInTheReportOnly) {
    const Bytes source = Ac3Frames(4);
    const WriteRun run(source, "32", "");  // exactly one frame
    EXPECT_EQ(run.Target(), Concat({FrameOf(source, 0), source}));
    ExpectComplete(run, "32ms (00:00:00,032) to be add at beginning.\r\n",
                   kTargetHeader + "1 frame (32ms) has been added at start.\r\n" +
                       "5 frames (00:00:00,160) have been written.\r\n" + kRateLine);
    EXPECT_EQ(run.observer.Statuses(),
              (std::vector<std::string>{"Adding 1 frames.", "Writing...", "pending..."}));
}

StreamInfo WithSilentFrame(const Bytes& silent) {
    StreamInfo info = Ac3Info();
    info.SilentFrame = silent;
    info.SilentFrameLoaded = true;
    return info;
}

TEST(TargetWriter, SilentFramePadsTheStartAndNamesItself) {
    const Bytes source = Ac3Frames(10);
    const Bytes silent = test::BuildFrames({0x0B, 0x77, 0xAA, 0xAA, 0x1E}, kFrame, 1);
    const WriteRun three(source, "100", "", WithSilentFrame(silent));
    EXPECT_EQ(three.Target(), Concat({Repeat(silent, 3), source}));
    ExpectComplete(three, "100ms (00:00:00,096) to be add at beginning.\r\n" + kLeftPlus4,
                   kTargetHeader + "3 silent frames (96ms) have been added at start.\r\n" +
                       "13 frames (00:00:00,416) have been written.\r\n" + kRateLine);
    EXPECT_EQ(three.observer.Statuses(),
              (std::vector<std::string>{"Adding 3 silent frames.", "Writing...", "pending..."}));

    const WriteRun one(source, "32", "", WithSilentFrame(silent));
    EXPECT_EQ(one.Target(), Concat({silent, source}));
    EXPECT_NE(one.observer.InfoText().find("1 silent frame (32ms) has been added at start.\r\n"),
              std::string::npos);
}

TEST(TargetWriter, FramesAddedAtTheEndRepeatTheLastFrameEvenWithASilentFrame) {
    const Bytes source = Ac3Frames(10);
    const Bytes silent = test::BuildFrames({0x0B, 0x77, 0xAA, 0xAA, 0x1E}, kFrame, 1);
    for (const StreamInfo& info : {Ac3Info(), WithSilentFrame(silent)}) {
        const WriteRun run(source, "", "64", info);
        EXPECT_EQ(run.Target(), Concat({source, Repeat(FrameOf(source, 9), 2)}));
        ExpectComplete(run, "64ms (00:00:00,064) to be add at end.\r\n",
                       kTargetHeader + "2 frames (64ms) have been added at end.\r\n" +
                           "12 frames (00:00:00,384) have been written.\r\n" + kRateLine);
        EXPECT_EQ(
            run.observer.Statuses(),
            (std::vector<std::string>{"Writing...", "Adding 2 frames at end.", "pending..."}));
    }
}

TEST(TargetWriter, CutAtTheEndKeepsTheSameFramesWhateverTheTail) {
    const Bytes frames = Ac3Frames(10);
    const std::string written =
        "2 frames (64ms) have been cut at end.\r\n"
        "8 frames (00:00:00,256) have been written.\r\n";
    const WriteRun whole(frames, "", "-64");
    EXPECT_EQ(whole.Target(), FirstFrames(frames, 8));
    ExpectComplete(whole, "64ms (00:00:00,064) to be cut at end.\r\n",
                   kTargetHeader + written + kRateLine);
    // The progress walks through every frame: the end of the stream is only known there.
    EXPECT_EQ(whole.observer.Calls("max:"), (std::vector<std::string>{"17920"}));

    const WriteRun withTail(Concat({frames, Bytes(900, 0x0B)}), "", "-64");
    EXPECT_EQ(withTail.Target(), FirstFrames(frames, 8));
    ExpectComplete(withTail, "64ms (00:00:00,064) to be cut at end.\r\n",
                   kTargetHeader + written + "Last frame was too short. Ignored.\r\n" + kRateLine);
}

TEST(TargetWriter, CutAtTheStartLeavesOutTheFirstFrames) {
    const Bytes source = Ac3Frames(10);
    const WriteRun run(source, "-100", "");
    EXPECT_EQ(run.Target(), Bytes(source.begin() + 3 * kFrame, source.end()));
    ExpectComplete(run, "100ms (00:00:00,096) ms to be cut at beginning.\r\n" + kLeftMinus4,
                   kTargetHeader + "3 frames (96ms) have been cut at start.\r\n" +
                       "7 frames (00:00:00,224) have been written.\r\n" + kRateLine);
    EXPECT_EQ(run.observer.Calls("info:").front(),
              "100ms (00:00:00,096) ms to be cut at beginning.\r\n" + kLeftMinus4);
}

TEST(TargetWriter, SingleCutFramesAreSingular) {
    const Bytes source = Ac3Frames(5);
    const WriteRun run(source, "-32", "-32");
    EXPECT_EQ(run.Target(), Bytes(source.begin() + kFrame, source.begin() + 4 * kFrame));
    ExpectComplete(run,
                   "32ms (00:00:00,032) ms to be cut at beginning.\r\n"
                   "32ms (00:00:00,032) to be cut at end.\r\n",
                   kTargetHeader + "1 frame (32ms) has been cut at start.\r\n" +
                       "1 frame (32ms) has been cut at end.\r\n" +
                       "3 frames (00:00:00,096) have been written.\r\n" + kRateLine);
}

TEST(TargetWriter, SingleFrameAddedAtTheEndIsSingularInTheReportOnly) {
    const Bytes source = Ac3Frames(5);
    const WriteRun run(source, "-32", "32");
    EXPECT_EQ(run.Target(),
              Concat({Bytes(source.begin() + kFrame, source.end()), FrameOf(source, 4)}));
    ExpectComplete(run,
                   "32ms (00:00:00,032) ms to be cut at beginning.\r\n"
                   "32ms (00:00:00,032) to be add at end.\r\n",
                   kTargetHeader + "1 frame (32ms) has been cut at start.\r\n" +
                       "1 frame (32ms) has been added at end.\r\n" +
                       "5 frames (00:00:00,160) have been written.\r\n" + kRateLine);
    EXPECT_EQ(run.observer.Statuses(),
              (std::vector<std::string>{"Writing...", "Adding 1 frames at end.", "pending..."}));
}

// A write that would keep no frame of the source is refused before anything is created:
// no empty target, no target of repeated zero frames, no report.
TEST(TargetWriter, NothingToWriteIsRefused) {
    Bytes damagedInTheCut = Ac3Frames(5);
    damagedInTheCut[3 * kFrame] = 0x00;
    const struct {
        const char* what;
        Bytes source;
        const char* start;
        const char* end;
        const char* told;
    } rows[] = {
        {"every frame cut at the start", Ac3Frames(5), "-1000", "", "remove the whole stream"},
        {"a damaged frame inside the cut", damagedInTheCut, "-1000", "", "whole stream"},
        {"cut at the end beyond the source", Ac3Frames(3), "100", "-1000", "whole stream"},
        {"both cuts meet", Ac3Frames(5), "-96", "-64", "whole stream of 5 frames"},
        {"shorter than one frame", Bytes(1000, 0x0B), "100", "64", "holds no whole frame"},
        {"empty", Bytes(), "", "64", "holds no whole frame"},
    };
    for (const auto& row : rows) {
        const WriteRun run(row.source, row.start, row.end);
        EXPECT_EQ(run.result.outcome, WriteOutcome::NothingToWrite) << row.what;
        EXPECT_NE(run.result.message.find(row.told), std::string::npos) << run.result.message;
        EXPECT_NE(run.result.message.find("Nothing was written."), std::string::npos) << row.what;
        // The source alone: no target, no report, no lock, no leftover.
        EXPECT_EQ(std::distance(fs::directory_iterator(run.dir.Path()), fs::directory_iterator()),
                  1)
            << row.what;
        EXPECT_FALSE(run.observer.busyPointer) << row.what;
        EXPECT_TRUE(run.observer.Statuses().empty()) << row.what;
    }
}

// A damaged frame, first or later: the frames before it are no better than the target that
// stood, which stays as it was, with no report and nothing beside it.
TEST(TargetWriter, DamagedFrameLeavesTheEarlierTarget) {
    const struct {
        std::size_t damagedByte;
        std::int32_t start;
        std::int32_t end;
        std::string at;
        std::string planLines;
        std::vector<std::string> statuses;
    } rows[] = {
        {1, 100, 64, "at 00:00:00,000 (byte 0)",
         "100ms (00:00:00,096) to be add at beginning.\r\n"
         "64ms (00:00:00,064) to be add at end.\r\n" + kLeftPlus4,
         {"pending..."}},
        {4 * kFrame + 1, 0, 0, "at 00:00:00,128 (byte 7168)", "",
         {"Writing...", "pending..."}},
    };
    for (const auto& row : rows) {
        Bytes source = Ac3Frames(10);
        source[row.damagedByte] = 0x78;
        test::ScratchDir dir;
        test::WriteFile(dir.File("source.ac3"), source);
        test::WriteFile(dir.File("target.ac3"), Bytes(3, 0x42));
        RecordingObserver observer{kSourceInfo};
        const WriteResult result = WriteTarget(
            WriteRequest{dir.File("source.ac3"), dir.File("target.ac3"), FileType::Ac3, row.start,
                         row.end},
            Ac3Info(), observer);
        EXPECT_EQ(result.outcome, WriteOutcome::SourceDamaged) << row.at;
        EXPECT_EQ(result.message.rfind("Source file damaged.", 0), 0U) << result.message;
        EXPECT_NE(result.message.find(row.at + ". Target file \"" + dir.File("target.ac3") +
                                      "\" was left as it was."),
                  std::string::npos)
            << result.message;
        EXPECT_EQ(test::ReadFile(dir.File("target.ac3")), Bytes(3, 0x42)) << row.at;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2)
            << row.at;
        EXPECT_TRUE(result.reportName.empty()) << row.at;
        // Plan lines only; no target information.
        EXPECT_EQ(observer.InfoText(), kSourceInfo + row.planLines) << row.at;
        EXPECT_EQ(observer.Statuses(), row.statuses) << row.at;
        EXPECT_FALSE(observer.busyPointer) << row.at;
    }
}

TEST(TargetWriter, DamagedFrameKeepsExactlyTheFramesBeforeItAndAddsNothingAtTheEnd) {
    Bytes source = Ac3Frames(10);
    source[5 * kFrame] = 0x0C;
    const WriteRun run(source, "-32", "64");
    EXPECT_EQ(run.result.outcome, WriteOutcome::SourceDamaged);
    // Frame 0 is cut, frames 1 to 4 are written, frame 5 stops the copy and is not repeated.
    EXPECT_EQ(run.Target(), Bytes(source.begin() + kFrame, source.begin() + 5 * kFrame));
    EXPECT_EQ(run.result.framesWritten, 4);
    EXPECT_FALSE(run.ReportExists());
    EXPECT_EQ(run.observer.Statuses(), (std::vector<std::string>{"Writing...", "pending..."}));
    // The progress bar stays at the failing frame.
    EXPECT_EQ(run.observer.lastProgressValue, 5 * kFrame);
}

// A DTS core header for frames of `frameLength` bytes (FSIZE + 1): 16 blocks of 32 samples,
// 48 kHz, 1536 kbit/s.
Bytes DtsHeader(std::int64_t frameLength) {
    const auto fsize = static_cast<unsigned>(frameLength - 1);
    return {0x7F, 0xFE, 0x80, 0x01, 0xFC, static_cast<std::uint8_t>(0x3C | fsize >> 12),
            static_cast<std::uint8_t>(fsize >> 4), static_cast<std::uint8_t>((fsize & 0xF) << 4 | 0x0D),
            0xF7, 0x00};
}

StreamInfo DtsInfo(std::int64_t frameLength) {
    StreamInfo info;
    info.FrameLength = static_cast<std::int32_t>(frameLength);
    info.FramesPerSecond = 93.75f;
    return info;
}

// Every frame's length comes from its own header, whatever the first frame said.
TEST(TargetWriter, FramesOfDifferentLengthsAreWalkedOneByOne) {
    // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz: 417 bytes, 418 with the padding slot.
    Bytes mpeg;
    for (const int length : {418, 417, 418, 417, 418, 417}) {
        const std::uint8_t padding = length == 418 ? 0x92 : 0x90;
        mpeg = Concat({mpeg, test::BuildFrames({0xFF, 0xFB, padding, 0x64}, length, 1)});
    }
    StreamInfo info;
    info.FrameLength = 418;
    info.FramesPerSecond = 38.28125f;
    const WriteRun run(mpeg, "", "-26", info, FileType::MpegAudio);  // one frame cut
    EXPECT_EQ(run.result.outcome, WriteOutcome::Complete) << run.result.message;
    EXPECT_EQ(run.Target(), Bytes(mpeg.begin(), mpeg.end() - 417));

    // DTS frames pass their sync test too: 16 bytes after every core frame are damage, and
    // only the first frame, which comes before any, is kept.
    const Bytes dts = test::BuildFrames(DtsHeader(2013), 2013, 6);
    EXPECT_EQ(WriteRun(dts, "", "", DtsInfo(2013), FileType::Dts).Target(), dts);
    Bytes padded;
    for (int i = 0; i < 6; ++i) {
        padded = Concat({padded, FrameOf(dts, i, 2013), Bytes(16, 0)});
    }
    const WriteRun damaged(padded, "", "", DtsInfo(2013), FileType::Dts);
    EXPECT_EQ(damaged.result.outcome, WriteOutcome::SourceDamaged);
    EXPECT_EQ(damaged.Target(), FrameOf(dts, 0, 2013));
    EXPECT_FALSE(damaged.ReportExists());

    // DTS-HD units far longer than a block: each core frame with a 150,000-byte extension
    // substream (long header form: 12-bit header size, 20-bit substream size).
    BitWriter header;
    header.Put(0x64582025, 32);
    header.Put(0, 8 + 2);
    header.Put(1, 1);
    header.Put(15, 12);
    header.Put(150000 - 1, 20);
    header.PadTo(16 * 8);
    Bytes substream = header.Bytes();
    substream.resize(150000, 0x11);
    Bytes units;
    for (int i = 0; i < 4; ++i) {
        units = Concat({units, FrameOf(dts, i, 2013), substream});
    }
    StreamInfo unitInfo = DtsInfo(2013 + 150000);
    const WriteRun long_(units, "", "-10", unitInfo, FileType::Dts);  // one unit cut
    EXPECT_EQ(long_.result.outcome, WriteOutcome::Complete) << long_.result.message;
    EXPECT_EQ(long_.Target(), Bytes(units.begin(), units.begin() + 3 * (2013 + 150000)));
}

TEST(TargetWriter, ReportsAThreeMinuteCorrectionExactly) {
    const Bytes source = Ac3Frames(5625);  // 10,080,000 bytes, many blocks long
    const WriteRun run(source, "-100", "64");
    const std::string targetInformation =
        "\r\nTarget file information:\r\n\r\n"
        "3 frames (96ms) have been cut at start.\r\n"
        "2 frames (64ms) have been added at end.\r\n"
        "5624 frames (00:02:59,968) have been written.\r\n"
        "There are 31.25 frames in one second.";
    ExpectComplete(run,
                   "100ms (00:00:00,096) ms to be cut at beginning.\r\n"
                   "64ms (00:00:00,064) to be add at end.\r\n" + kLeftMinus4,
                   targetInformation);
    EXPECT_EQ(run.result.framesWritten, 5624);
    EXPECT_EQ(run.Target(), Concat({Bytes(source.begin() + 3 * kFrame, source.end()),
                                    Repeat(FrameOf(source, 5624), 2)}));
}

// The copy moves many frames per read and write; whatever the frame length and wherever cuts
// and damage fall against those blocks, the target must be what copying frame by frame gives.
TEST(TargetWriter, BlocksMatchAFrameByFrameCopy) {
    struct Row {
        std::int64_t frameLength;
        float fps;
        std::int64_t frames;
        const char* start;
        const char* end;
        std::int64_t damaged;  // index of a frame with a broken sync word, or -1
        std::int64_t cutStart, addStart, cutEnd, addEnd;
    };
    // Blocks are about 512 KiB, and frames lie across their borders wherever 512 KiB is no
    // multiple of the frame length.
    const Row rows[] = {
        {1792, 31.25f, 700, "-10000", "", -1, 312, 0, 0, 0},
        {1792, 31.25f, 700, "-10000", "-2000", -1, 312, 0, 62, 0},
        {1792, 31.25f, 700, "100", "64", -1, 0, 3, 0, 2},
        {1792, 31.25f, 700, "", "64", 291, 0, 0, 0, 2},
        {1792, 31.25f, 700, "", "64", 292, 0, 0, 0, 2},
        {1792, 31.25f, 700, "-10000", "", 500, 312, 0, 0, 0},
        {1792, 31.25f, 700, "-10000", "", 300, 312, 0, 0, 0},
        {1792, 31.25f, 700, "10000", "", 1, 0, 312, 0, 0},  // 312.5 frames, to even
        {2013, 93.75f, 1200, "-11000", "2000", 600, 1031, 0, 0, 188},
        {2013, 93.75f, 1200, "", "-1000", -1, 0, 0, 94, 0},
        {16384, 93.75f, 100, "1000", "-100", -1, 0, 94, 9, 0},
        {16384, 93.75f, 100, "-200", "300", 50, 19, 0, 0, 28},
    };
    for (const Row& row : rows) {
        const Bytes header =
            row.frameLength == kFrame ? test::Ac3Header(0x1E) : DtsHeader(row.frameLength);
        Bytes source = test::BuildFrames(header, row.frameLength, row.frames);
        if (row.damaged >= 0) {
            source[static_cast<std::size_t>(row.damaged * row.frameLength)] = 0x0A;
        }
        StreamInfo info;
        info.FrameLength = static_cast<std::int32_t>(row.frameLength);
        info.FramesPerSecond = row.fps;

        const CorrectionPlan plan = MakeCorrectionPlan(ReadWholeMilliseconds(row.start), ReadWholeMilliseconds(row.end), info).plan;
        ASSERT_EQ(plan.cutStartFrames, row.cutStart) << row.start;
        ASSERT_EQ(plan.addStartFrames, row.addStart) << row.start;
        ASSERT_EQ(plan.cutEndFrames, row.cutEnd) << row.end;
        ASSERT_EQ(plan.addEndFrames, row.addEnd) << row.end;

        // The reference: one read, one test and one write per frame; a damaged frame stops
        // the copy wherever it lies, and the cut at the end applies to a whole stream only.
        Bytes expected;
        bool damaged = false;
        for (std::int64_t i = 0; i < row.frames; ++i) {
            if (i == row.damaged) {
                damaged = true;
                break;
            }
            const Bytes frame = FrameOf(source, i, row.frameLength);
            if (i == 0) {
                expected = Repeat(frame, static_cast<int>(row.addStart));
            }
            if (i >= row.cutStart) {
                expected.insert(expected.end(), frame.begin(), frame.end());
            }
        }
        if (!damaged) {
            expected.resize(expected.size() - static_cast<std::size_t>(row.cutEnd * row.frameLength));
            expected = Concat({expected, Repeat(FrameOf(source, row.frames - 1, row.frameLength),
                                                static_cast<int>(row.addEnd))});
        }

        const WriteRun run(source, row.start, row.end, info,
                           row.frameLength == kFrame ? FileType::Ac3 : FileType::Dts);
        const std::string label = std::to_string(row.frameLength) + " " + row.start + "/" +
                                  row.end + " damaged " + std::to_string(row.damaged);
        EXPECT_EQ(run.result.outcome,
                  damaged ? WriteOutcome::SourceDamaged : WriteOutcome::Complete)
            << label;
        EXPECT_EQ(run.Target(), expected) << label;
        EXPECT_EQ(run.result.framesWritten,
                  static_cast<std::int64_t>(expected.size()) / row.frameLength)
            << label;
        EXPECT_EQ(run.ReportExists(), !damaged) << label;
    }
}

TEST(TargetWriter, RecordsEveryCallInOrder) {
    test::ScratchDir dir;
    test::WriteFile(dir.File("s.ac3"), Ac3Frames(10));
    RecordingObserver observer{kSourceInfo};
    observer.recordProgressValues = true;
    WriteRequest request{dir.File("s.ac3"), dir.File("t.ac3"), FileType::Ac3, 100, 64};
    const WriteResult result = WriteTarget(request, Ac3Info(), observer);
    ASSERT_EQ(result.outcome, WriteOutcome::Complete) << result.message;

    std::vector<std::string> expected = {
        "events",
        "info:100ms (00:00:00,096) to be add at beginning.\r\n64ms (00:00:00,064) to be add at "
        "end.\r\n" + kLeftPlus4,
        "busy:on",
        "max:17920",
        "events",  // one pass per block read, so a window sees Cancel
        "value:0",
        "status:Adding 3 frames.",
        "status:Writing...",
    };
    for (int i = 1; i < 10; ++i) {
        expected.push_back("value:" + std::to_string(i * kFrame));
    }
    const std::vector<std::string> tail = {
        "status:Adding 2 frames at end.",
        "status:pending...",
        "busy:off",
        "value:0",
        // The target information comes whole, in one piece.
        "info:\r\nTarget file information:\r\n\r\n"
        "3 frames (96ms) have been added at start.\r\n"
        "2 frames (64ms) have been added at end.\r\n"
        "15 frames (00:00:00,480) have been written.\r\n"
        "There are 31.25 frames in one second.",
    };
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(observer.calls, expected);
}

TEST(TargetWriter, ReportNameReplacesTheExtension) {
    const struct {
        const char* target;
        const char* report;
    } rows[] = {
        {"movie_fix.ac3", "movie_fix.txt"},
        {"/data/clips/movie_fix.ac3", "/data/clips/movie_fix.txt"},
        // Every extension, whatever its length.
        {"out.eac3", "out.txt"},
        {"a.dtshd", "a.txt"},
        {"a.ac", "a.txt"},
        {"film.v2.mp3", "film.v2.txt"},
        // No extension, or only a leading dot: the name stays whole, the folder is never cut.
        {"abcde", "abcde.txt"},
        {".ac3", ".ac3.txt"},
        {"/data/x.y/ab", "/data/x.y/ab.txt"},
        {"/data/clips/", "/data/clips/.txt"},
        {"film\xC3\xA9.ac3", "film\xC3\xA9.txt"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ReportNameFor(row.target), row.report) << row.target;
    }
}

TEST(TargetWriter, LongExtensionGivesItsReportBesideIt) {
    const Bytes source = Ac3Frames(3);
    StreamInfo info = Ac3Info();
    const WriteRun run(source, "", "", info, FileType::Ac3, "a.dtshd");
    EXPECT_EQ(run.result.outcome, WriteOutcome::Complete) << run.result.message;
    EXPECT_EQ(run.result.reportName, run.dir.File("a.txt"));
    EXPECT_EQ(test::ReadTextFile(run.dir.File("a.txt")), run.observer.InfoText());
}

#ifndef _WIN32
// What a file holds of an access list and an attribute of the user's.
std::map<std::string, std::string> KeptAttributes(const std::string& path) {
    std::map<std::string, std::string> held;
    for (const char* name : {"system.posix_acl_access", "user.velmora.note"}) {
        char value[256];
        const ssize_t length = ::getxattr(path.c_str(), name, value, sizeof value);
        if (length >= 0) {
            held[name].assign(value, static_cast<std::size_t>(length));
        }
    }
    return held;
}

// Gives a file an access list that lets one more user read it, and an attribute of the
// user's; what the file system refuses is simply not there.
void GiveAttributes(const std::string& path) {
    // The list as the kernel takes it: a version, then a tag, permissions and id per entry.
    std::string acl("\x02\0\0\0", 4);
    const auto entry = [&acl](std::uint16_t tag, std::uint16_t permissions, std::uint32_t id) {
        for (const std::uint32_t part : {std::uint32_t{tag} | std::uint32_t{permissions} << 16, id}) {
            for (int shift = 0; shift < 32; shift += 8) {
                acl += static_cast<char>((part >> shift) & 0xFF);
            }
        }
    };
    entry(0x01, 6, 0xFFFFFFFF);  // the owner: read and write
    entry(0x02, 4, 65534);       // one more user: read
    entry(0x04, 4, 0xFFFFFFFF);  // the group
    entry(0x10, 4, 0xFFFFFFFF);  // the mask
    entry(0x20, 4, 0xFFFFFFFF);  // everyone else
    static_cast<void>(::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0));
    static_cast<void>(::setxattr(path.c_str(), "user.velmora.note", "kept", 4, 0));
}
#endif

TEST(TargetWriter, ExistingTargetAndEarlierReportAreReplaced) {
    test::ScratchDir dir;
    const Bytes source = Ac3Frames(4);
    test::WriteFile(dir.File("s.ac3"), source);
    test::WriteFile(dir.File("t.ac3"), Bytes(50000, 0x55));
#ifndef _WIN32
    fs::permissions(dir.File("t.ac3"), fs::perms::owner_read | fs::perms::owner_write |
                                           fs::perms::group_read | fs::perms::others_read);
    // Root can give the target to another user, whose it must stay.
    const uid_t owner = ::geteuid() == 0 ? 65534 : ::geteuid();
    ASSERT_EQ(::chown(dir.File("t.ac3").c_str(), owner, static_cast<gid_t>(-1)), 0);
    GiveAttributes(dir.File("t.ac3"));
    const auto attributes = KeptAttributes(dir.File("t.ac3"));
#endif
    // An earlier report of this program's, longer than the new one.
    test::WriteTextFile(dir.File("t.txt"), kSourceInfo + std::string(50000, 'x'));
    RecordingObserver observer{kSourceInfo};
    const WriteResult result =
        WriteTarget(WriteRequest{dir.File("s.ac3"), dir.File("t.ac3"), FileType::Ac3, 0, 0},
                    Ac3Info(), observer);
    EXPECT_EQ(result.outcome, WriteOutcome::Complete);
    EXPECT_FALSE(result.reportRenamed);
    EXPECT_EQ(test::ReadFile(dir.File("t.ac3")), source);
    EXPECT_EQ(test::ReadTextFile(dir.File("t.txt")), observer.InfoText());
#ifndef _WIN32
    // The replacement keeps the replaced target's permissions, not a private 0600. (Windows
    // files have no such bits: a new file takes its folder's access rules.)
    EXPECT_EQ(fs::status(dir.File("t.ac3")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    EXPECT_EQ(KeptAttributes(dir.File("t.ac3")), attributes);
    struct stat status {};
    ASSERT_EQ(::stat(dir.File("t.ac3").c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, owner);
#endif
}

// Sources over 4 GiB: lengths and positions need 64 bits. A sparse file keeps this cheap:
// two real frames, then zeros, which are no frame and stop the copy as damage.
TEST(TargetWriter, HandlesSourcesBeyondFourGiB) {
    test::ScratchDir dir;
    const Bytes frames = Ac3Frames(2);
    test::WriteFile(dir.File("big.ac3"), frames);
    fs::resize_file(dir.File("big.ac3"), (std::uintmax_t{5} << 30) + 100);
    RecordingObserver observer{kSourceInfo};
    const WriteResult result = WriteTarget(
        WriteRequest{dir.File("big.ac3"), dir.File("t.ac3"), FileType::Ac3, 0, -95869728},
        Ac3Info(), observer);
    EXPECT_EQ(result.outcome, WriteOutcome::SourceDamaged) << result.message;
    EXPECT_EQ(test::ReadFile(dir.File("t.ac3")), frames);
    EXPECT_EQ(observer.Calls("max:"), (std::vector<std::string>{"5368709220"}));
}

}  // namespace
}  // namespace velmora
