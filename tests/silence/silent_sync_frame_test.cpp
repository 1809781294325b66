// Tests for the silent AC-3 frame builder and the table it makes.
#include "silence/silent_sync_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "silence/ac3_frame_reader.h"
#include "silence/silent_frame_set.h"
#include "silence/silent_frames.h"

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

// Bytes of a frame by the rule of thumb for A/52 Table 5.18, kept apart from the builder's
// table: 2 words per kbit/s at 48 kHz, 3 at 32 kHz, and kbit/s * 320 / 147 rounded down
// at 44.1 kHz, one word more for the odd code of a pair.
std::size_t FrameBytesByRule(int fscod, int frmsizecod) {
    constexpr int kRates[] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                              192, 224, 256, 320, 384, 448, 512, 576, 640};
    const int kbps = kRates[frmsizecod / 2];
    const int words =
        fscod == 0 ? 2 * kbps : fscod == 2 ? 3 * kbps : kbps * 320 / 147 + (frmsizecod & 1);
    return 2 * static_cast<std::size_t>(words);
}

TEST(SilentSyncFrame, BuildsEveryRateAndChannelLayoutWithItsAudioUnderCrc1) {
    // Every sample rate, every frame size code (so the smallest frames, where crc1 covers
    // only 80 bytes, are in) and every layout the structural walk follows, plus one frame
    // whose crc1 would have come out as 0B 77.
    std::vector<SilentAc3FrameParams> all;
    for (int fscod = 0; fscod <= 2; ++fscod) {
        for (int frmsizecod = 0; frmsizecod <= 37; ++frmsizecod) {
            for (int acmod = 1; acmod <= 7; ++acmod) {
                for (const bool lfeon : {false, true}) {
                    SilentAc3FrameParams params;
                    params.fscod = fscod;
                    params.frmsizecod = frmsizecod;
                    params.acmod = acmod;
                    params.lfeon = lfeon;
                    all.push_back(params);
                }
            }
        }
    }
    SilentAc3FrameParams syncInCrc1;
    syncInCrc1.frmsizecod = 20;
    syncInCrc1.acmod = 1;
    syncInCrc1.bsmod = 3;
    syncInCrc1.dialnorm = 30;
    all.push_back(syncInCrc1);

    for (const SilentAc3FrameParams& params : all) {
        const std::string what = "fscod " + std::to_string(params.fscod) + " code " +
                                 std::to_string(params.frmsizecod) + " acmod " +
                                 std::to_string(params.acmod) + " lfe " +
                                 std::to_string(params.lfeon) + " bsmod " +
                                 std::to_string(params.bsmod);
        const auto frame = BuildSilentAc3Frame(params);
        ASSERT_TRUE(frame) << what;
        ASSERT_EQ(frame->bytes.size(), FrameBytesByRule(params.fscod, params.frmsizecod)) << what;

        const auto bsi = test::ReadAc3Bsi(frame->bytes);
        ASSERT_TRUE(bsi) << what;
        EXPECT_EQ(bsi->bsi.fscod, params.fscod) << what;
        EXPECT_EQ(bsi->bsi.frmsizecod, params.frmsizecod) << what;
        EXPECT_EQ(bsi->bsi.acmod, params.acmod) << what;
        EXPECT_EQ(bsi->bsi.lfeon, params.lfeon ? 1 : 0) << what;
        EXPECT_EQ(bsi->endBit, frame->layout.bsiEnd) << what;

        const test::Ac3BlockWalk walk = test::WalkSilentAc3Blocks(frame->bytes);
        EXPECT_EQ(test::Join(walk.problems), "") << what;
        EXPECT_EQ(walk.blocksEnd, frame->layout.blocksEnd) << what;

        const std::size_t end = test::ReferenceCrc1End(frame->bytes.size());
        EXPECT_LT(walk.blocksEnd, static_cast<std::int64_t>(8 * end)) << what;
        const auto bytes = std::span<const std::uint8_t>(frame->bytes);
        EXPECT_EQ(test::ReferenceAc3Crc(bytes.subspan(2, end - 2)), 0) << what;
        EXPECT_EQ(test::ReferenceAc3Crc(bytes.subspan(end)), 0) << what;
        for (std::size_t i = 1; i + 1 < bytes.size(); ++i) {
            ASSERT_FALSE(bytes[i] == 0x0B && bytes[i + 1] == 0x77) << what << " sync word at " << i;
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
        {"acmod -1", [](auto& p) { p.acmod = -1; }},
        {"acmod 8", [](auto& p) { p.acmod = 8; }},
        {"bsid 11 (another bit stream type)", [](auto& p) { p.bsid = 11; }},
        {"bsid -1", [](auto& p) { p.bsid = -1; }},
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
