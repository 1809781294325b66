// Tests for the MSB-first bit writer the silent frames are built with.
#include "silence/bit_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace velmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BitWriter, PacksFieldsMostSignificantBitFirst) {
    // Fields 101 | 00 | 1111111111 | 0 | 0000101101110111 | 11, then zeros to the byte:
    // 10100111 11111110 00001011 01110111 11000000 = A7 FE 0B 77 C0 (34 bits written).
    BitWriter out;
    out.Put(0b101, 3);
    out.Put(0, 2);
    out.Put(0x3FF, 10);
    out.Put(0, 1);
    out.Put(0x0B77, 16);
    out.Put(0b11, 2);
    EXPECT_TRUE(out.Ok());
    EXPECT_EQ(out.BitCount(), 34);
    EXPECT_EQ(out.Bytes(), (Bytes{0xA7, 0xFE, 0x0B, 0x77, 0xC0}));

    // Padding adds zero bits only; the next field lands right after them.
    out.PadTo(47);
    out.Put(1, 1);
    EXPECT_TRUE(out.Ok());
    EXPECT_EQ(out.BitCount(), 48);
    EXPECT_EQ(out.Bytes(), (Bytes{0xA7, 0xFE, 0x0B, 0x77, 0xC0, 0x01}));
}

TEST(BitWriter, WritesFullWidthFieldsAndEmptyFields) {
    BitWriter out;
    out.Put(0xDEADBEEF, 32);
    out.Put(0, 0);
    EXPECT_TRUE(out.Ok());
    EXPECT_EQ(out.Bytes(), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
}

TEST(BitWriter, RemembersFieldsThatDoNotFit) {
    struct Row {
        const char* what;
        void (*write)(BitWriter&);
    };
    const Row rows[] = {
        {"value one bit too wide", [](BitWriter& w) { w.Put(4, 2); }},
        {"negative value wrapped", [](BitWriter& w) { w.Put(static_cast<std::uint32_t>(-1), 5); }},
        {"width above 32", [](BitWriter& w) { w.Put(0, 33); }},
        {"negative width", [](BitWriter& w) { w.Put(0, -1); }},
        {"padding backwards",
         [](BitWriter& w) {
             w.Put(0, 8);
             w.PadTo(4);
         }},
    };
    for (const Row& row : rows) {
        BitWriter out;
        row.write(out);
        out.Put(1, 1);  // later fields do not clear the mistake
        EXPECT_FALSE(out.Ok()) << row.what;
    }
}

}  // namespace
}  // namespace velmora
