// Tests that the compiled silent frames are the A/52 frames they are meant to be.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "silence/ac3_frame_reader.h"
#include "silence/silent_frames.h"
#include "silence/silent_sync_frame.h"

namespace velmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct TemplateRow {
    const char* name;
    std::size_t offset;
    std::size_t size;
    test::Ac3Bsi bsi;        // the bit stream information the frame must carry
    Bytes headerBytes;       // bytes from offset 4 that those fields fill completely
    std::int64_t blocksEnd;  // first bit after the audio blocks
};

constexpr std::nullopt_t kAbsent = std::nullopt;

// Every field of the bit stream information, absent ones included, as the templates'
// table gives them.
const std::vector<TemplateRow>& Rows() {
    static const std::vector<TemplateRow> rows = {
        {"A",
         0,
         768,
         test::Ac3Bsi{.fscod = 0,
                      .frmsizecod = 20,
                      .bsid = 8,
                      .bsmod = 0,
                      .acmod = 2,
                      .cmixlev = kAbsent,
                      .surmixlev = kAbsent,
                      .dsurmod = 2,
                      .lfeon = 0,
                      .dialnorm = 27,
                      .compr = 0xFF,
                      .langcod = kAbsent,
                      .mixlevel = kAbsent,
                      .roomtyp = kAbsent,
                      .copyrightb = 1,
                      .origbs = 1,
                      .timecod1 = kAbsent,
                      .timecod2 = kAbsent,
                      .addbsie = 0},
         {0x14, 0x40, 0x53, 0x7F, 0xF3},
         309},
        {"B",
         768,
         1536,
         test::Ac3Bsi{.fscod = 0,
                      .frmsizecod = 28,
                      .bsid = 8,
                      .bsmod = 0,
                      .acmod = 7,
                      .cmixlev = 0,
                      .surmixlev = 0,
                      .dsurmod = kAbsent,
                      .lfeon = 1,
                      .dialnorm = 31,
                      .compr = 0x10,
                      .langcod = kAbsent,
                      .mixlevel = 25,
                      .roomtyp = 1,
                      .copyrightb = 1,
                      .origbs = 1,
                      .timecod1 = kAbsent,
                      .timecod2 = kAbsent,
                      .addbsie = 0},
         {0x1C, 0x40, 0xE1, 0xFC, 0x41, 0xCB},
         594},
        {"C",
         2304,
         1792,
         test::Ac3Bsi{.fscod = 0,
                      .frmsizecod = 30,
                      .bsid = 8,
                      .bsmod = 0,
                      .acmod = 7,
                      .cmixlev = 0,
                      .surmixlev = 0,
                      .dsurmod = kAbsent,
                      .lfeon = 1,
                      .dialnorm = 27,
                      .compr = 0xAB,
                      .langcod = kAbsent,
                      .mixlevel = kAbsent,
                      .roomtyp = kAbsent,
                      .copyrightb = 1,
                      .origbs = 1,
                      .timecod1 = kAbsent,
                      .timecod2 = kAbsent,
                      .addbsie = 0},
         {0x1E, 0x40, 0xE1, 0xDE, 0xAC},
         587},
    };
    return rows;
}

std::span<const std::uint8_t> Frame(const TemplateRow& row) {
    return std::span(SilentFrameTemplates).subspan(row.offset, row.size);
}

TEST(SilentFrameTemplates, CarryTheirBitStreamInformation) {
    for (const TemplateRow& row : Rows()) {
        const auto frame = Frame(row);
        const auto read = test::ReadAc3Bsi(frame);
        ASSERT_TRUE(read) << row.name;
        EXPECT_EQ(read->bsi, row.bsi) << row.name;
        EXPECT_TRUE(std::equal(row.headerBytes.begin(), row.headerBytes.end(), frame.begin() + 4))
            << row.name;
    }
}

TEST(SilentFrameTemplates, BothCrcWordsAreCorrect) {
    for (const TemplateRow& row : Rows()) {
        const auto frame = Frame(row);
        const std::size_t end = test::ReferenceCrc1End(frame.size());
        ASSERT_EQ(end, row.size * 5 / 8) << row.name;  // 480, 960, 1120 for these sizes
        EXPECT_EQ(test::ReferenceAc3Crc(frame.subspan(2, end - 2)), 0) << row.name << " crc1";
        EXPECT_EQ(test::ReferenceAc3Crc(frame.subspan(end)), 0) << row.name << " crc2";
    }
}

TEST(SilentFrameTemplates, HoldNoSyncWordPastTheirStart) {
    // A decoder that has lost sync looks for 0B 77 at any byte; none may appear inside.
    for (const TemplateRow& row : Rows()) {
        const auto frame = Frame(row);
        for (std::size_t i = 1; i + 1 < frame.size(); ++i) {
            EXPECT_FALSE(frame[i] == 0x0B && frame[i + 1] == 0x77) << row.name << " at " << i;
        }
    }
}

TEST(SilentFrameTemplates, AudioBlocksAreWellFormedAndCarryNoMantissas) {
    for (const TemplateRow& row : Rows()) {
        const auto frame = Frame(row);
        const test::Ac3BlockWalk walk = test::WalkSilentAc3Blocks(frame);
        EXPECT_EQ(test::Join(walk.problems), "") << row.name;
        EXPECT_EQ(walk.blocksEnd, row.blocksEnd) << row.name;
        // crc1 protects all of the audio.
        EXPECT_LE(walk.blocksEnd, static_cast<std::int64_t>(8 * row.size * 5 / 8)) << row.name;
    }
}

TEST(SilentFrameTemplates, StructuralWalkNoticesFramesThatAreNotSilentByConstruction) {
    // Each of these still decodes in some decoder, which is why the walk exists: B without
    // LFE exponents in block 0 plays silently in one decoder and not in another.
    struct Row {
        const char* what;
        std::function<void(SilentAc3FrameParams&)> change;
        const char* problem;  // a part of the expected problem text
    };
    const Row rows[] = {
        {"no LFE exponents in block 0", [](auto& p) { p.lfeExponentsInBlock0 = false; },
         "LFE reuses exponents it never had"},
        {"dither on", [](auto& p) { p.dithflag = true; }, "dithflag set"},
        {"csnroffst 12", [](auto& p) { p.csnroffst = 12; }, "SNR offsets not all 0"},
        {"fsnroffst 1", [](auto& p) { p.fsnroffst = 1; }, "SNR offsets not all 0"},
    };
    SilentAc3FrameParams b;
    b.frmsizecod = 28;
    b.acmod = 7;
    b.lfeon = true;
    for (const Row& row : rows) {
        SilentAc3FrameParams params = b;
        row.change(params);
        const auto frame = BuildSilentAc3Frame(params);
        ASSERT_TRUE(frame) << row.what;
        const std::string problems = test::Join(test::WalkSilentAc3Blocks(frame->bytes).problems);
        EXPECT_NE(problems.find(row.problem), std::string::npos) << row.what << ": " << problems;
    }
}

}  // namespace
}  // namespace velmora
