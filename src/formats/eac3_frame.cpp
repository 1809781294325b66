// The E-AC-3 sync frame header (ETSI TS 102 366 Annex E) and how AC-3 frames carry bsid.
#include "formats/eac3_frame.h"

#include <array>

#include "formats/bit_reader.h"

namespace velmora {

namespace {

constexpr std::array<std::int32_t, 4> kRates = {48000, 44100, 32000, 0};
// fscod 3: the reduced rates by fscod2.
constexpr std::array<std::int32_t, 4> kReducedRates = {24000, 22050, 16000, 0};
constexpr std::array<int, 4> kBlocks = {1, 2, 3, 6};

}  // namespace

int AnyAc3Bsid(std::span<const std::uint8_t> bytes) {
    return bytes.size() > 5 ? bytes[5] >> 3 : 0;
}

bool IsEac3Bsid(int bsid) {
    return bsid > 10 && bsid <= 16;
}

Eac3Header DecodeEac3Header(std::span<const std::uint8_t> bytes) {
    BitReader bits(bytes);
    Eac3Header h;
    h.syncWord = static_cast<std::uint16_t>(bits.Read(16));
    h.strmtyp = static_cast<int>(bits.Read(2));
    h.substreamid = static_cast<int>(bits.Read(3));
    h.frmsiz = static_cast<int>(bits.Read(11));
    h.fscod = static_cast<int>(bits.Read(2));
    if (h.fscod == 3) {
        h.fscod2 = static_cast<int>(bits.Read(2));
        h.numblkscod = 3;
    } else {
        h.numblkscod = static_cast<int>(bits.Read(2));
    }
    h.acmod = static_cast<int>(bits.Read(3));
    h.lfeon = static_cast<int>(bits.Read(1));
    h.bsid = static_cast<int>(bits.Read(5));
    h.dialnorm = static_cast<int>(bits.Read(5));
    if (bits.Read(1) != 0) {  // compre
        bits.Skip(8);
    }
    if (h.acmod == 0) {  // dual mono carries the second channel's levels too
        bits.Skip(5);
        if (bits.Read(1) != 0) {
            bits.Skip(8);
        }
    }
    if (h.strmtyp == 1 && bits.Read(1) != 0) {  // chanmape
        h.chanmap = static_cast<int>(bits.Read(16));
    }
    return h;
}

std::int32_t Eac3FrameLength(const Eac3Header& h) {
    return (h.frmsiz + 1) * 2;
}

std::int32_t Eac3SamplingRate(const Eac3Header& h) {
    return h.fscod == 3 ? kReducedRates[static_cast<std::size_t>(h.fscod2 & 3)]
                        : kRates[static_cast<std::size_t>(h.fscod & 3)];
}

int Eac3Blocks(const Eac3Header& h) {
    return kBlocks[static_cast<std::size_t>(h.numblkscod & 3)];
}

bool Eac3StartsUnit(const Eac3Header& h) {
    return h.strmtyp != 1 && h.substreamid == 0;
}

}  // namespace velmora
