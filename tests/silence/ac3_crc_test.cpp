// Tests for the AC-3 CRC words: the register, the split point and both closed-form words.
#include "formats/ac3_crc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

#include "silence/ac3_frame_reader.h"
#include "silence/silent_frame_set.h"

namespace velmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A frame-sized buffer of fixed pseudo-random bytes that starts with the sync word.
Bytes NoiseFrame(std::size_t words, unsigned seed) {
    std::mt19937 random(seed);
    Bytes frame(2 * words);
    for (std::uint8_t& byte : frame) {
        byte = static_cast<std::uint8_t>(random() & 0xFF);
    }
    frame[0] = 0x0B;
    frame[1] = 0x77;
    return frame;
}

// Every value of bytes 2-3 that leaves the CRC over [2, end58) at 0; slow on purpose, as
// it shares nothing with the closed form it checks.
std::vector<std::uint16_t> Crc1BySearch(Bytes frame) {
    const std::size_t end = test::ReferenceCrc1End(frame.size());
    std::vector<std::uint16_t> found;
    for (unsigned value = 0; value <= 0xFFFF; ++value) {
        frame[2] = static_cast<std::uint8_t>(value >> 8);
        frame[3] = static_cast<std::uint8_t>(value & 0xFF);
        if (test::ReferenceAc3Crc(std::span(frame).subspan(2, end - 2)) == 0) {
            found.push_back(static_cast<std::uint16_t>(value));
        }
    }
    return found;
}

TEST(Ac3Crc, GivesTheCheckValueAndAgreesWithATableDrivenCrc) {
    constexpr std::string_view kCheck = "123456789";
    const Bytes check(kCheck.begin(), kCheck.end());
    EXPECT_EQ(Ac3Crc(check), 0xFEE8);
    EXPECT_EQ(test::ReferenceAc3Crc(check), 0xFEE8);

    for (const std::size_t words : {1u, 3u, 13u, 64u, 69u, 100u, 1000u}) {
        const Bytes data = NoiseFrame(words, static_cast<unsigned>(words));
        EXPECT_EQ(Ac3Crc(data), test::ReferenceAc3Crc(data)) << words << " words";
        // Continuing from a register value is the same as running over the whole.
        const auto head = std::span(data).first(data.size() / 2);
        const auto tail = std::span(data).subspan(data.size() / 2);
        EXPECT_EQ(Ac3Crc(tail, Ac3Crc(head)), Ac3Crc(data)) << words << " words";
    }
}

TEST(Ac3Crc, SplitPointUsesHalfPlusEighthOfTheWords) {
    // {words, end of the part crc1 protects in bytes}. The 44.1 kHz sizes are the ones
    // where floor(5 * words / 8) would be one word later.
    const std::pair<std::size_t, std::size_t> rows[] = {
        {64, 80},   {384, 480}, {768, 960}, {896, 1120}, {1920, 2400}, {69, 84},    {87, 106},
        {175, 216}, {279, 346}, {349, 434}, {487, 606},  {557, 694},   {975, 1216}, {1253, 1564},
    };
    for (const auto& [words, end] : rows) {
        EXPECT_EQ(Ac3Crc1End(words), end) << words << " words";
    }
}

TEST(Ac3Crc, ClosedFormCrc1IsTheOnlyValueTheSearchFinds) {
    std::vector<std::pair<std::string, Bytes>> frames;
    for (const SilentFrameEntry& entry : SilentFrameEntries()) {
        const auto frame = BuildSilentAc3Frame(entry.params);
        ASSERT_TRUE(frame) << entry.name;
        frames.emplace_back(std::string(entry.name), frame->bytes);
    }
    // Odd 44.1 kHz sizes, and a split point that is not a multiple of four bytes.
    for (const std::size_t words : {69u, 87u, 175u}) {
        frames.emplace_back(std::to_string(words) + " noise words", NoiseFrame(words, 7));
    }
    for (const auto& [name, frame] : frames) {
        const std::vector<std::uint16_t> found = Crc1BySearch(frame);
        ASSERT_EQ(found.size(), 1u) << name;
        EXPECT_EQ(Ac3Crc1Value(frame), found.front()) << name;
    }
}

TEST(Ac3Crc, StoredWordsLeaveBothResiduesAtZero) {
    for (const std::size_t words : {64u, 69u, 70u, 896u, 1393u}) {
        Bytes frame = NoiseFrame(words, 11);
        frame[frame.size() - 3] &= 0xFE;  // crcrsv clear, as a builder leaves it
        const Bytes before = frame;
        SetAc3Crcs(frame);
        const std::size_t end = test::ReferenceCrc1End(frame.size());
        const auto all = std::span<const std::uint8_t>(frame);
        EXPECT_EQ(test::ReferenceAc3Crc(all.subspan(2, end - 2)), 0) << words << " words";
        EXPECT_EQ(test::ReferenceAc3Crc(all.subspan(end)), 0) << words << " words";
        // Only the two CRC words changed (crc2 is not a sync word here).
        Bytes expected = before;
        for (const std::size_t at :
             {std::size_t{2}, std::size_t{3}, frame.size() - 2, frame.size() - 1}) {
            expected[at] = frame[at];
        }
        EXPECT_EQ(frame, expected) << words << " words";
    }
}

TEST(Ac3Crc, SetsTheReservedBitRatherThanStoreASyncWordAsCrc2) {
    // 64 words: crc2 covers bytes [80, 126). Put into bytes 80-81 the one value that makes
    // that CRC 0x0B77 (the CRC is a bijection of those two bytes when the rest is zero).
    Bytes frame(128, 0);
    frame[0] = 0x0B;
    frame[1] = 0x77;
    bool made = false;
    for (unsigned value = 0; value <= 0xFFFF && !made; ++value) {
        frame[80] = static_cast<std::uint8_t>(value >> 8);
        frame[81] = static_cast<std::uint8_t>(value & 0xFF);
        made = Ac3Crc2Value(frame) == 0x0B77;
    }
    ASSERT_TRUE(made);

    SetAc3Crcs(frame);
    EXPECT_EQ(frame[125] & 0x01, 0x01);  // crcrsv
    EXPECT_NE((frame[126] << 8) | frame[127], 0x0B77);
    const auto all = std::span<const std::uint8_t>(frame);
    EXPECT_EQ(test::ReferenceAc3Crc(all.subspan(2, 78)), 0);
    EXPECT_EQ(test::ReferenceAc3Crc(all.subspan(80)), 0);
}

TEST(Ac3Crc, LeavesBuffersWithoutRoomForBothWordsAlone) {
    for (const std::size_t size : {0u, 6u, 9u}) {
        Bytes buffer(size, 0x5A);
        const Bytes before = buffer;
        SetAc3Crcs(buffer);
        EXPECT_EQ(buffer, before) << size << " bytes";
        EXPECT_EQ(Ac3Crc1Value(buffer), 0) << size << " bytes";
        EXPECT_EQ(Ac3Crc2Value(buffer), 0) << size << " bytes";
    }
}

}  // namespace
}  // namespace velmora
