// The three header decoders against the standards' tables and worked values.
#include <gtest/gtest.h>

#include <vector>

#include "formats/bit_reader.h"
#include "formats/format_table.h"
#include "formats/frame_facts.h"
#include "report/ac3_source_lines.h"
#include "report/dts_source_lines.h"
#include "report/mpeg_audio_source_lines.h"

namespace velmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BitReader, ReadsMostSignificantBitFirstAndZerosPastTheEnd) {
    // 0xB5 0x3C = 1011 0101 0011 1100
    const Bytes bytes = {0xB5, 0x3C};
    BitReader bits(bytes);
    EXPECT_EQ(bits.Read(1), 1U);         // 1
    EXPECT_EQ(bits.Read(3), 0b011U);     // 011
    EXPECT_EQ(bits.Read(6), 0b010100U);  // 0101 00
    EXPECT_EQ(bits.Read(6), 0b111100U);  // 11 1100
    EXPECT_FALSE(bits.Overrun());
    EXPECT_EQ(bits.Read(5), 0U);
    EXPECT_TRUE(bits.Overrun());
}

TEST(Ac3Header, SyncWordMustBe0B77) {
    EXPECT_TRUE(Ac3SyncOk(DecodeAc3Header(Bytes{0x0B, 0x77, 0, 0, 0})));
    EXPECT_FALSE(Ac3SyncOk(DecodeAc3Header(Bytes{0x77, 0x0B, 0, 0, 0})));
    EXPECT_FALSE(Ac3SyncOk(DecodeAc3Header(Bytes{0x0B})));
    const Ac3Header header = DecodeAc3Header(Bytes{0x0B, 0x77, 0x12, 0x34, 0x5E});
    EXPECT_EQ(header.crc1, 0x1234);
    EXPECT_EQ(header.fscod, 1);
    EXPECT_EQ(header.frmsizecod, 30);
}

TEST(Ac3Header, FrameSizeTable) {
    const struct {
        int fscod;
        int frmsizecod;
        std::int32_t kbps;
        std::int32_t bytes;
        const char* hexLine;
    } rows[] = {
        {0, 0, 32, 128, "Framelength: 0x0080\r\n"},
        {0, 30, 448, 1792, "Framelength: 0x0700\r\n"},
        {0, 31, 448, 1792, "Framelength: 0x0700\r\n"},
        {0, 37, 640, 2560, "Framelength: 0x0A00\r\n"},
        {1, 0, 32, 138, "Framelength: 0x008A\r\n"},
        {1, 1, 32, 140, "Framelength: 0x008C\r\n"},
        {1, 20, 192, 834, "Framelength: 0x0342\r\n"},
        {1, 21, 192, 836, "Framelength: 0x0344\r\n"},
        {1, 30, 448, 1950, "Framelength: 0x079E\r\n"},
        {1, 31, 448, 1952, "Framelength: 0x07A0\r\n"},
        {1, 37, 640, 2788, "Framelength: 0x0AE4\r\n"},
        {2, 28, 384, 2304, "Framelength: 0x0900\r\n"},
        {2, 0, 32, 192, "Framelength: 0x00C0\r\n"},
        {3, 0, 32, 0, "Framelength: 0x0000\r\n"},
        {3, 30, 448, 0, "Framelength: 0x0000\r\n"},
        {0, 38, 0, 0, "Framelength: 0x0000\r\n"},
        {1, 63, 0, 0, "Framelength: 0x0000\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "fscod " << row.fscod << " frmsizecod " << row.frmsizecod);
        EXPECT_EQ(Ac3BitRate(row.frmsizecod), row.kbps);
        EXPECT_EQ(Ac3FrameLength(row.fscod, row.frmsizecod), row.bytes);
        EXPECT_EQ(Ac3FrameLengthLine(Ac3FrameLength(row.fscod, row.frmsizecod)), row.hexLine);
    }
}

TEST(Ac3Header, ReportLines) {
    EXPECT_EQ(Ac3SamplingRateLine(0), "Sampling rate: 48 kHz\r\n");
    EXPECT_EQ(Ac3SamplingRateLine(1), "Sampling rate: 44.1 kHz\r\n");
    EXPECT_EQ(Ac3SamplingRateLine(2), "Sampling rate: 32 kHz\r\n");
    EXPECT_EQ(Ac3SamplingRateLine(3), "Sampling rate: reserved kHz\r\n");
    EXPECT_EQ(Ac3BitRateLine(448), "Nominal bit rate: 448 kbps\r\n");
    EXPECT_EQ(Ac3BitRateLine(0), "Nominal bit rate: 0 kbps\r\n");
}

TEST(DtsHeader, DecodesTheWorkedHeader) {
    const DtsHeader h =
        DecodeDtsHeader(Bytes{0x7F, 0xFE, 0x80, 0x01, 0xFC, 0x3C, 0x7D, 0xC2, 0x77, 0x00});
    EXPECT_TRUE(DtsSyncOk(h));
    EXPECT_EQ(h.frameType, 1);
    EXPECT_EQ(h.deficitSamples, 31);
    EXPECT_EQ(h.crcPresent, 0);
    EXPECT_EQ(h.sampleBlocks, 15);
    EXPECT_EQ(h.frameSize, 2012);
    EXPECT_EQ(h.channelArrangement, 9);
    EXPECT_EQ(h.samplingFrequency, 13);
    EXPECT_EQ(h.bitRate, 24);
    EXPECT_EQ(DtsFrameLength(h), 2013);
    EXPECT_EQ(DtsSamplingRateLine(h.samplingFrequency), "Sampling rate: 48 kHz\r\n");
    EXPECT_EQ(DtsBitRateLine(h.bitRate), "Nominal bit rate: 1536 kbps\r\n");
}

TEST(DtsHeader, OnlyThe16BitBigEndianFormSyncs) {
    EXPECT_FALSE(DtsSyncOk(DecodeDtsHeader(Bytes{0x1F, 0xFF, 0xE8, 0x00, 0, 0, 0, 0, 0, 0})));
    EXPECT_FALSE(DtsSyncOk(DecodeDtsHeader(Bytes{0xFE, 0x7F, 0x01, 0x80, 0, 0, 0, 0, 0, 0})));
    // FSIZE 0 still gives a usable one-byte frame.
    EXPECT_EQ(DtsFrameLength(DecodeDtsHeader(Bytes{0x7F, 0xFE, 0x80, 0x01})), 1);
}

TEST(DtsHeader, RateAndSamplingTables) {
    const std::int32_t rates[32] = {
        32,  56,   64,   96,   112,  128,  192,  224,  256,  320,  384,  448,  512,  576, 640, 768,
        960, 1024, 1152, 1280, 1344, 1408, 1411, 1472, 1536, 1920, 2048, 3072, 3840, -1,  -2,  -3};
    for (int code = 0; code < 32; ++code) {
        EXPECT_EQ(DtsBitRate(code), rates[code]) << code;
    }
    EXPECT_EQ(DtsBitRateLine(22), "Nominal bit rate: 1411 kbps\r\n");
    EXPECT_EQ(DtsBitRateLine(29), "Nominal bit rate: open\r\n");
    EXPECT_EQ(DtsBitRateLine(30), "Nominal bit rate: variable\r\n");
    EXPECT_EQ(DtsBitRateLine(31), "Nominal bit rate: Loss-less\r\n");
    const char* texts[16] = {"invalid ", "8 ",     "16 ",      "32 ",      "invalid ", "invalid ",
                             "11.025 ",  "22.05 ", "44.1 ",    "invalid ", "invalid ", "12 ",
                             "24 ",      "48 ",    "invalid ", "invalid "};
    for (int code = 0; code < 16; ++code) {
        EXPECT_EQ(DtsSamplingRateLine(code),
                  std::string("Sampling rate: ") + texts[code] + "kHz\r\n");
    }
}

struct MpegRow {
    Bytes bytes;
    std::int32_t bitrate;
    std::int32_t samplingRate;
    std::int32_t frameLength;
    const char* report;  // the lines after the heading
};

// The walk's reader remembers what MPEG headers said by their first three bytes: for every
// such prefix, whatever came before and whatever the fourth byte, it must say what a fresh
// decode says.
TEST(MpegAudioHeader, RememberedFactsAreFreshFacts) {
    FrameFactsReader reader(FileType::MpegAudio);
    for (const std::uint8_t fourth : {0x00, 0xC4}) {
        for (int second = 0; second < 256; ++second) {
            for (int third = 0; third < 256; ++third) {
                const Bytes header = {0xFF, static_cast<std::uint8_t>(second),
                                      static_cast<std::uint8_t>(third), fourth};
                ASSERT_EQ(reader.Read(header), ReadFrameFacts(FileType::MpegAudio, header))
                    << second << " " << third << " " << int{fourth};
            }
        }
    }
}

TEST(MpegAudioHeader, WorkedHeaders) {
    const MpegRow rows[] = {
        {{0xFF, 0xFD, 0xA4, 0x00, 0},
         192000,
         48000,
         576,
         "MPEG Version: 1\r\nLayer: 2\r\nProtected: None\r\nBitrate: 192000\r\nSamplingrate: "
         "48000\r\n"
         "Padding:Off\r\nMode: Stereo\r\nCopyright: No\r\nOriginal: No\r\nEmphasis: None\r\n"
         "Framelength: 576\r\n\r\n"},
        {{0xFF, 0xFB, 0x90, 0x64, 0},
         128000,
         44100,
         417,
         "MPEG Version: 1\r\nLayer: 3\r\nProtected: None\r\nBitrate: 128000\r\nSamplingrate: "
         "44100\r\n"
         "Padding:Off\r\nMode: Joint Stereo\r\nCopyright: No\r\nOriginal: Yes\r\nEmphasis: None\r\n"
         "Framelength: 417\r\n\r\n"},
        // Whole slots by truncation, then the padding slot: 417.96 gives 417 or 418 bytes,
        // 78.37 Layer I slots 312 or 316 bytes.
        {{0xFF, 0xFB, 0x92, 0x64, 0}, 128000, 44100, 418, nullptr},
        {{0xFF, 0xFF, 0x90, 0x00, 0}, 288000, 44100, 312, nullptr},
        {{0xFF, 0xFF, 0x92, 0x00, 0}, 288000, 44100, 316, nullptr},
        // MPEG-2 Layer III holds 576 samples, so its factor is 72.
        {{0xFF, 0xF3, 0x64, 0xC0, 0}, 48000, 24000, 144, nullptr},
        // MPEG 2.5 uses the MPEG-2 bit rates.
        {{0xFF, 0xE3, 0x48, 0x00, 0},
         32000,
         8000,
         288,
         "MPEG Version: 2.5\r\nLayer: 3\r\nProtected: None\r\nBitrate: 32000\r\nSamplingrate: 8000\r\n"
         "Padding:Off\r\nMode: Stereo\r\nCopyright: No\r\nOriginal: No\r\nEmphasis: None\r\n"
         "Framelength: 288\r\n\r\n"},
        // versionId 1 and samplingIndex 3: no sampling rate, so no Framelength line.
        {{0xFF, 0xED, 0xA4, 0x00, 0},
         0,
         0,
         0,
         "MPEG Version: reserved\r\nLayer: 2\r\nProtected: None\r\nBitrate: 0\r\nSamplingrate: "
         "0\r\n"
         "Padding:Off\r\nMode: Stereo\r\nCopyright: No\r\nOriginal: No\r\nEmphasis: None\r\n\r\n"},
        {{0xFF, 0xFD, 0xAC, 0x00, 0}, 192000, 0, 0, nullptr},
        {{0xFF, 0xF9, 0xA4, 0x00, 0},
         0,
         48000,
         0,
         "MPEG Version: 1\r\nLayer: reserved\r\nProtected: None\r\nBitrate: 0\r\nSamplingrate: "
         "48000\r\n"
         "Padding:Off\r\nMode: Stereo\r\nCopyright: No\r\nOriginal: No\r\nEmphasis: None\r\n"
         "Framelength: 0\r\n\r\n"},
        {{0xFF, 0xFD, 0xA4, 0x02, 0}, 192000, 48000, 576, nullptr},
        // Free format (index 0) and the forbidden index 15.
        {{0xFF, 0xFD, 0x04, 0x00, 0}, 0, 48000, 0, nullptr},
        {{0xFF, 0xFD, 0xF4, 0x00, 0}, 0, 48000, 0, nullptr},
        // A padded frame is one slot longer.
        {{0xFF, 0xFD, 0xA6, 0x00, 0}, 192000, 48000, 577, nullptr},
        // Index 10 across versions and layers.
        {{0xFF, 0xFF, 0xA4, 0x00, 0}, 320000, 48000, 320, nullptr},
        {{0xFF, 0xFB, 0xA4, 0x00, 0}, 160000, 48000, 480, nullptr},
        {{0xFF, 0xF7, 0xA4, 0x00, 0}, 160000, 24000, 320, nullptr},
        {{0xFF, 0xF5, 0xA4, 0x00, 0}, 96000, 24000, 576, nullptr},
        // A first byte other than FF is decoded all the same.
        {{0x00, 0xFD, 0xA4, 0x00, 0}, 192000, 48000, 576, nullptr},
        // Nothing read at all: an empty file.
        {{},
         0,
         11025,
         0,
         "MPEG Version: 2.5\r\nLayer: reserved\r\nProtected: CRC\r\nBitrate: 0\r\nSamplingrate: "
         "11025\r\n"
         "Padding:Off\r\nMode: Stereo\r\nCopyright: No\r\nOriginal: No\r\nEmphasis: None\r\n"
         "Framelength: 0\r\n\r\n"},
    };
    for (const auto& row : rows) {
        const MpegAudioHeader h = DecodeMpegAudioHeader(row.bytes);
        const std::int32_t length = MpegAudioFrameLength(h);
        SCOPED_TRACE(testing::Message()
                     << "bytes " << std::hex << int(row.bytes.size() > 1 ? row.bytes[1] : 0) << ' '
                     << int(row.bytes.size() > 2 ? row.bytes[2] : 0));
        EXPECT_EQ(h.bitrate, row.bitrate);
        EXPECT_EQ(h.samplingRate, row.samplingRate);
        EXPECT_EQ(length, row.frameLength);
        if (row.report != nullptr) {
            EXPECT_EQ(MpegAudioReport(h, length), row.report);
        }
    }
}

TEST(MpegAudioHeader, FieldTexts) {
    MpegAudioHeader h = DecodeMpegAudioHeader(Bytes{0xFF, 0xFC, 0xA6, 0xFF, 0});
    EXPECT_EQ(h.protectionBit, 0);
    EXPECT_EQ(h.paddingBit, 1);
    EXPECT_EQ(h.channelMode, 3);
    EXPECT_EQ(h.copyrightBit, 1);
    EXPECT_EQ(h.originalBit, 1);
    EXPECT_EQ(h.emphasis, 3);
    const std::string report = MpegAudioReport(h, MpegAudioFrameLength(h));
    EXPECT_NE(report.find("Protected: CRC\r\n"), std::string::npos);
    EXPECT_NE(report.find("Padding:On\r\n"), std::string::npos);
    EXPECT_NE(report.find("Mode: Single Channel\r\n"), std::string::npos);
    EXPECT_NE(report.find("Copyright: Yes\r\n"), std::string::npos);
    EXPECT_NE(report.find("Emphasis: CCIT J.17\r\n"), std::string::npos);
    h = DecodeMpegAudioHeader(Bytes{0xFF, 0xFD, 0xA4, 0x81, 0});
    EXPECT_NE(MpegAudioReport(h, 0).find("Mode: Dual Channel\r\nCopyright: No\r\nOriginal: No\r\n"
                                         "Emphasis: 50/15 ms\r\n"),
              std::string::npos);
    h = DecodeMpegAudioHeader(Bytes{0xFF, 0xFD, 0xA4, 0x02, 0});
    EXPECT_NE(MpegAudioReport(h, 0).find("Emphasis: ?\r\n"), std::string::npos);
}

}  // namespace
}  // namespace velmora
