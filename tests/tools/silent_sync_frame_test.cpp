// Tests for the silent AC-3 frame builder and the table it makes.
#include "silent_sync_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "correction/silent_frames.h"
#include "silent_frame_set.h"
#include "tools/ac3_frame_reader.h"

namespace velmora {
namespace {

// True when every bit in [from, to) is 0.
bool ZeroBits(std::span<const std::uint8_t> bytes, std::int64_t from, std::int64_t to) {
    for (std::int64_t bit = from; bit < to; ++bit) {
        if ((bytes[static_cast<std::size_t>(bit / 8)] >> (7 - bit % 8)) & 1) {
            return false;
        }
    }
    return true;
}

TEST(SilentSyncFrame, CompiledTableIsWhatTheBuilderMakes) {
    const auto table = BuildSilentFrameTable();
    ASSERT_TRUE(table);
    EXPECT_TRUE(std::equal(table->begin(), table->end(), SilentFrameTemplates.begin(),
                           SilentFrameTemplates.end()));
}

TEST(SilentSyncFrame, FieldsEndWhereTheirWidthsAddUpAndTheRestIsZero) {
    // Bit positions from the frame start: 40 bits of syncinfo, then the bit stream
    // information; block 0 is 159 bits for 2/0 and 375 for 3/2 + LFE, the other blocks 15
    // and 27.
    struct Row {
        std::int64_t bsiEnd, block0End, blocksEnd;
    };
    const Row rows[] = {{75, 75 + 159, 309}, {84, 84 + 375, 594}, {77, 77 + 375, 587}};
    const auto entries = SilentFrameEntries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto frame = BuildSilentAc3Frame(entries[i].params);
        ASSERT_TRUE(frame) << entries[i].name;
        EXPECT_EQ(frame->bytes.size(), entries[i].size) << entries[i].name;
        EXPECT_EQ(frame->layout.bsiEnd, rows[i].bsiEnd) << entries[i].name;
        EXPECT_EQ(frame->layout.block0End, rows[i].block0End) << entries[i].name;
        EXPECT_EQ(frame->layout.blocksEnd, rows[i].blocksEnd) << entries[i].name;
        const auto end = static_cast<std::int64_t>(8 * frame->bytes.size()) - 16;
        EXPECT_TRUE(ZeroBits(frame->bytes, frame->layout.blocksEnd, end)) << entries[i].name;
    }
}

TEST(SilentSyncFrame, BuildsEveryChannelLayoutAtSeveralRates) {
    // {fscod, frmsizecod, bytes}: the smallest 48 kHz frame, an odd 44.1 kHz size, 32 kHz.
    struct Rate {
        int fscod, frmsizecod;
        std::size_t bytes;
    };
    const Rate rates[] = {{0, 0, 128}, {1, 1, 140}, {1, 2, 174}, {2, 37, 3840}};
    for (const Rate& rate : rates) {
        for (int acmod = 1; acmod <= 7; ++acmod) {
            for (const bool lfeon : {false, true}) {
                SilentAc3FrameParams params;
                params.fscod = rate.fscod;
                params.frmsizecod = rate.frmsizecod;
                params.acmod = acmod;
                params.lfeon = lfeon;
                const std::string what = "fscod " + std::to_string(rate.fscod) + " code " +
                                         std::to_string(rate.frmsizecod) + " acmod " +
                                         std::to_string(acmod) + " lfe " + std::to_string(lfeon);
                const auto frame = BuildSilentAc3Frame(params);
                ASSERT_TRUE(frame) << what;
                ASSERT_EQ(frame->bytes.size(), rate.bytes) << what;

                const auto bsi = test::ReadAc3Bsi(frame->bytes);
                ASSERT_TRUE(bsi) << what;
                EXPECT_EQ(bsi->bsi.fscod, rate.fscod) << what;
                EXPECT_EQ(bsi->bsi.frmsizecod, rate.frmsizecod) << what;
                EXPECT_EQ(bsi->bsi.acmod, acmod) << what;
                EXPECT_EQ(bsi->bsi.lfeon, lfeon ? 1 : 0) << what;
                EXPECT_EQ(bsi->endBit, frame->layout.bsiEnd) << what;

                const test::Ac3BlockWalk walk = test::WalkSilentAc3Blocks(frame->bytes);
                EXPECT_EQ(test::Join(walk.problems), "") << what;
                EXPECT_EQ(walk.blocksEnd, frame->layout.blocksEnd) << what;

                const std::size_t end = test::ReferenceCrc1End(frame->bytes.size());
                const auto all = std::span<const std::uint8_t>(frame->bytes);
                EXPECT_EQ(test::ReferenceAc3Crc(all.subspan(2, end - 2)), 0) << what;
                EXPECT_EQ(test::ReferenceAc3Crc(all.subspan(end)), 0) << what;
            }
        }
    }
}

TEST(SilentSyncFrame, RefusesParametersOutsideTheirFields) {
    struct Row {
        const char* what;
        std::function<void(SilentAc3FrameParams&)> change;
    };
    const Row rows[] = {
        {"fscod 3 (reserved)", [](auto& p) { p.fscod = 3; }},
        {"frmsizecod 38", [](auto& p) { p.frmsizecod = 38; }},
        {"frmsizecod -1", [](auto& p) { p.frmsizecod = -1; }},
        {"acmod 0 (dual mono, not built)", [](auto& p) { p.acmod = 0; }},
        {"acmod 8", [](auto& p) { p.acmod = 8; }},
        {"bsid 32", [](auto& p) { p.bsid = 32; }},
        {"bsmod 8", [](auto& p) { p.bsmod = 8; }},
        {"dsurmod 4 on 2/0", [](auto& p) { p.dsurmod = 4; }},
        {"cmixlev 4 on 3/2",
         [](auto& p) {
             p.acmod = 7;
             p.cmixlev = 4;
         }},
        {"surmixlev -1 on 3/2",
         [](auto& p) {
             p.acmod = 7;
             p.surmixlev = -1;
         }},
        {"dialnorm 32", [](auto& p) { p.dialnorm = 32; }},
        {"compr 256", [](auto& p) { p.compr = 256; }},
        {"mixlevel 32",
         [](auto& p) {
             p.audprod = Ac3ProductionInfo{32, 0};
         }},
        {"roomtyp 4",
         [](auto& p) {
             p.audprod = Ac3ProductionInfo{0, 4};
         }},
        {"csnroffst 64", [](auto& p) { p.csnroffst = 64; }},
        {"fsnroffst 16", [](auto& p) { p.fsnroffst = 16; }},
    };
    for (const Row& row : rows) {
        SilentAc3FrameParams params;
        ASSERT_TRUE(BuildSilentAc3Frame(params));  // the defaults themselves are fine
        row.change(params);
        EXPECT_FALSE(BuildSilentAc3Frame(params)) << row.what;
    }
}

}  // namespace
}  // namespace velmora
