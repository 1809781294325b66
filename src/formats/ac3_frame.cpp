// The AC-3 sync frame header (ATSC A/52 syncinfo) and the facts of Table 5.18.
#include "formats/ac3_frame.h"

#include <array>

#include "formats/bit_reader.h"

namespace velmora {

namespace {

// ATSC A/52 Table 5.18 (Frame Size Code Table), one row per pair of codes 2k and 2k+1.
struct FrameSizeRow {
    std::int32_t kbps;
    std::int32_t words48;  // 16-bit words per syncframe at 48 kHz
    std::int32_t words44;  // at 44.1 kHz for the even code; the odd code has one word more
    std::int32_t words32;  // at 32 kHz
};

constexpr std::array<FrameSizeRow, 19> kFrameSizes = {{
    {32, 64, 69, 96},        {40, 80, 87, 120},       {48, 96, 104, 144},
    {56, 112, 121, 168},     {64, 128, 139, 192},     {80, 160, 174, 240},
    {96, 192, 208, 288},     {112, 224, 243, 336},    {128, 256, 278, 384},
    {160, 320, 348, 480},    {192, 384, 417, 576},    {224, 448, 487, 672},
    {256, 512, 557, 768},    {320, 640, 696, 960},    {384, 768, 835, 1152},
    {448, 896, 975, 1344},   {512, 1024, 1114, 1536}, {576, 1152, 1253, 1728},
    {640, 1280, 1393, 1920},
}};

constexpr int kCodesWithRow = static_cast<int>(kFrameSizes.size()) * 2;  // 0..37

// Table 5.6: fscod 0..2; 3 is reserved.
constexpr std::array<std::int32_t, 4> kSamplingRates = {48000, 44100, 32000, 0};

}  // namespace

Ac3Header DecodeAc3Header(std::span<const std::uint8_t> bytes) {
    BitReader bits(bytes);
    Ac3Header header;
    header.syncWord = static_cast<std::uint16_t>(bits.Read(16));
    header.crc1 = static_cast<std::uint16_t>(bits.Read(16));
    header.fscod = static_cast<int>(bits.Read(2));
    header.frmsizecod = static_cast<int>(bits.Read(6));
    return header;
}

Ac3Bsi DecodeAc3Bsi(std::span<const std::uint8_t> frame) {
    BitReader bits(frame);
    bits.Skip(40);  // syncinfo
    Ac3Bsi bsi;
    bsi.bsid = static_cast<int>(bits.Read(5));
    bsi.bsmod = static_cast<int>(bits.Read(3));
    bsi.acmod = static_cast<int>(bits.Read(3));
    if ((bsi.acmod & 1) != 0 && bsi.acmod != 1) {
        bsi.cmixlev = static_cast<int>(bits.Read(2));
    }
    if ((bsi.acmod & 4) != 0) {
        bsi.surmixlev = static_cast<int>(bits.Read(2));
    }
    if (bsi.acmod == 2) {
        bsi.dsurmod = static_cast<int>(bits.Read(2));
    }
    bsi.lfeon = static_cast<int>(bits.Read(1));
    bsi.dialnorm = static_cast<int>(bits.Read(5));
    return bsi;
}

bool Ac3SyncOk(const Ac3Header& header) {
    return header.syncWord == 0x0B77;
}

std::int32_t Ac3BitRate(int frmsizecod) {
    if (frmsizecod < 0 || frmsizecod >= kCodesWithRow) {
        return 0;
    }
    return kFrameSizes[static_cast<std::size_t>(frmsizecod / 2)].kbps;
}

std::int32_t Ac3FrameLength(int fscod, int frmsizecod) {
    if (frmsizecod < 0 || frmsizecod >= kCodesWithRow) {
        return 0;
    }
    const FrameSizeRow& row = kFrameSizes[static_cast<std::size_t>(frmsizecod / 2)];
    switch (fscod) {
        case 0:
            return 2 * row.words48;
        case 1:
            return 2 * (row.words44 + (frmsizecod & 1));
        case 2:
            return 2 * row.words32;
        default:
            return 0;  // fscod 3 is reserved
    }
}

std::int32_t Ac3SamplingRate(int fscod) {
    return fscod >= 0 && fscod < 4 ? kSamplingRates[static_cast<std::size_t>(fscod)] : 0;
}

}  // namespace velmora
