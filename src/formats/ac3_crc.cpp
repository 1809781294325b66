// The two CRC words of an AC-3 sync frame.
#include "formats/ac3_crc.h"

#include <algorithm>
#include <array>

#include "formats/ac3_frame.h"
#include "formats/crc16_fold.h"
#include "formats/eac3_frame.h"

namespace velmora {

namespace {

// x^16 + x^15 + x^2 + 1 with the x^16 term dropped, for the shift register.
constexpr std::uint16_t kPoly = 0x8005;
// The same generator with its x^16 term, for reducing products.
constexpr std::uint32_t kFullPoly = 0x18005;
// x^-1 modulo the generator: x * (x^15 + x^14 + x) = x^16 + x^15 + x^2 = 1. It exists
// because the generator has a constant term.
constexpr std::uint16_t kInverseOfX = 0xC002;

// kSlices[k][b]: the register after byte b followed by k zero bytes, from 0.
constexpr auto kSlices = [] {
    std::array<std::array<std::uint16_t, 256>, 8> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        auto crc = static_cast<std::uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000U) != 0 ? crc << 1 ^ kPoly : crc << 1);
        }
        table[0][byte] = crc;
    }
    for (std::size_t k = 1; k < table.size(); ++k) {
        for (std::size_t byte = 0; byte < 256; ++byte) {
            const std::uint16_t before = table[k - 1][byte];
            table[k][byte] = static_cast<std::uint16_t>(before << 8 ^ table[0][before >> 8]);
        }
    }
    return table;
}();

// a * b modulo the generator, both polynomials over GF(2) held as bit masks.
std::uint16_t MulMod(std::uint16_t a, std::uint16_t b) {
    std::uint32_t product = 0;
    for (int bit = 0; bit < 16; ++bit) {
        if ((b >> bit) & 1u) {
            product ^= static_cast<std::uint32_t>(a) << bit;
        }
    }
    for (int bit = 31; bit >= 16; --bit) {
        if ((product >> bit) & 1u) {
            product ^= kFullPoly << (bit - 16);
        }
    }
    return static_cast<std::uint16_t>(product);
}

// base^exponent modulo the generator, by square and multiply.
std::uint16_t PowMod(std::uint16_t base, std::uint64_t exponent) {
    std::uint16_t result = 1;
    while (exponent != 0) {
        if (exponent & 1u) {
            result = MulMod(result, base);
        }
        base = MulMod(base, base);
        exponent >>= 1;
    }
    return result;
}

// Room for the sync word, crc1 and crc2 in a whole number of words; smaller buffers are
// left alone.
bool HasCrcWords(std::span<const std::uint8_t> frame) {
    return frame.size() >= 8 && frame.size() % 2 == 0;
}

// Eight bytes go in per step (slicing by eight): the register is folded into the first two,
// and each byte's effect k bytes from the end is looked up in table k.
std::uint16_t SlicedCrc(std::span<const std::uint8_t> bytes, std::uint16_t start) {
    const auto& table = kSlices;
    std::uint16_t crc = start;
    const std::uint8_t* at = bytes.data();
    std::size_t left = bytes.size();
    for (; left >= 8; left -= 8, at += 8) {
        crc = static_cast<std::uint16_t>(
            table[7][(at[0] ^ (crc >> 8)) & 0xFF] ^ table[6][(at[1] ^ crc) & 0xFF] ^
            table[5][at[2]] ^ table[4][at[3]] ^ table[3][at[4]] ^ table[2][at[5]] ^
            table[1][at[6]] ^ table[0][at[7]]);
    }
    for (; left > 0; --left, ++at) {
        crc = static_cast<std::uint16_t>(crc << 8 ^ table[0][(crc >> 8 ^ *at) & 0xFF]);
    }
    return crc;
}

}  // namespace

// Every byte of every frame passes through here on a plain copy: long runs are folded by
// carry-less multiplication where the processor has it, the rest goes by tables.
std::uint16_t Ac3Crc(std::span<const std::uint8_t> bytes, std::uint16_t start) {
    if (const auto folded = FoldCrc16(bytes, start)) {
        return SlicedCrc(bytes.subspan(folded->consumed), SlicedCrc(folded->bytes, 0));
    }
    return SlicedCrc(bytes, start);
}

std::uint16_t Crc16Bits(std::span<const std::uint8_t> bytes, std::int64_t bitCount,
                        std::uint16_t start) {
    const std::int64_t available = 8 * static_cast<std::int64_t>(bytes.size());
    const std::int64_t count = std::min(bitCount, available);
    // Whole bytes by the tables, then the bits left one by one.
    const auto whole = static_cast<std::size_t>(std::max<std::int64_t>(count, 0) / 8);
    std::uint16_t crc = Ac3Crc(bytes.first(whole), start);
    for (std::int64_t bit = 8 * static_cast<std::int64_t>(whole); bit < count; ++bit) {
        const bool in = ((bytes[static_cast<std::size_t>(bit / 8)] >> (7 - bit % 8)) & 1u) != 0;
        const bool top = (crc & 0x8000u) != 0;
        crc = static_cast<std::uint16_t>(crc << 1);
        if (in != top) {
            crc ^= kPoly;
        }
    }
    return crc;
}

std::size_t Ac3Crc1End(std::size_t frameWords) {
    return 2 * ((frameWords >> 1) + (frameWords >> 3));
}

std::uint16_t Ac3Crc1Value(std::span<const std::uint8_t> frame) {
    if (!HasCrcWords(frame)) {
        return 0;
    }
    const std::size_t end = Ac3Crc1End(frame.size() / 2);
    // With D the bytes after crc1 (L bits), the register after [2, end) is
    // (crc1 * x^L + D) * x^16 mod G = crc1 * x^(L+16) + CRC(D). Making that 0 gives
    // crc1 = CRC(D) * x^-(L+16) mod G.
    const auto data = frame.subspan(4, end - 4);
    const std::uint64_t bits = 8 * static_cast<std::uint64_t>(data.size());
    return MulMod(Ac3Crc(data), PowMod(kInverseOfX, bits + 16));
}

std::uint16_t Ac3Crc2Value(std::span<const std::uint8_t> frame) {
    if (!HasCrcWords(frame)) {
        return 0;
    }
    const std::size_t end = Ac3Crc1End(frame.size() / 2);
    return Ac3Crc(frame.subspan(end, frame.size() - 2 - end));
}

void SetAc3Crcs(std::span<std::uint8_t> frame) {
    if (!HasCrcWords(frame)) {
        return;
    }
    const auto store = [&frame](std::size_t at, std::uint16_t word) {
        frame[at] = static_cast<std::uint8_t>(word >> 8);
        frame[at + 1] = static_cast<std::uint8_t>(word & 0xFF);
    };
    store(2, Ac3Crc1Value(frame));
    const std::size_t last = frame.size() - 2;
    std::uint16_t crc2 = Ac3Crc2Value(frame);
    if (crc2 == 0x0B77) {
        frame[last - 1] |= 0x01;  // crcrsv, the bit just before crc2
        crc2 = Ac3Crc2Value(frame);
    }
    store(last, crc2);
}

bool Ac3UnitCrcsHold(std::span<const std::uint8_t> unit) {
    for (std::size_t at = 0; at < unit.size();) {
        const auto rest = unit.subspan(at);
        const int bsid = AnyAc3Bsid(rest);
        std::size_t length = 0;
        std::size_t crc1End = 0;  // 0 for E-AC-3, whose frames have one CRC
        if (IsEac3Bsid(bsid)) {
            length = static_cast<std::size_t>(Eac3FrameLength(DecodeEac3Header(rest)));
        } else {
            const Ac3Header header = DecodeAc3Header(rest);
            length = static_cast<std::size_t>(Ac3FrameLength(header.fscod, header.frmsizecod));
            crc1End = Ac3Crc1End(length / 2);
        }
        if (length < 8 || length > rest.size()) {
            return false;
        }
        // crc1 leaves its part's register at 0, so crc2's check runs on from there; an
        // E-AC-3 frame's one CRC starts right after the sync word.
        const std::size_t split = crc1End > 0 ? crc1End : 2;
        if (Ac3Crc(rest.subspan(2, split - 2)) != 0 ||
            Ac3Crc(rest.subspan(split, length - split)) != 0) {
            return false;
        }
        at += length;
    }
    return true;
}

}  // namespace velmora
