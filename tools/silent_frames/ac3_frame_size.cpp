// Size of an AC-3 sync frame from its sample rate and frame size codes.
#include "ac3_frame_size.h"

#include <array>

namespace velmora {

namespace {

constexpr int kPairs = 19;

// A/52 Table 5.18, one row per pair of codes (2k, 2k + 1): nominal bit rate in kbit/s.
constexpr std::array<int, kPairs> kBitRate = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                              192, 224, 256, 320, 384, 448, 512, 576, 640};

// Table 5.18, words per sync frame at 48, 44.1 (even code of the pair) and 32 kHz. At
// 44.1 kHz the odd code of a pair is one word longer; at the other two rates both codes
// of a pair have the same size.
constexpr std::array<int, kPairs> kWords48 = {64,  80,  96,  112, 128, 160, 192,  224,  256, 320,
                                              384, 448, 512, 640, 768, 896, 1024, 1152, 1280};
constexpr std::array<int, kPairs> kWords44Even = {
    69, 87, 104, 121, 139, 174, 208, 243, 278, 348, 417, 487, 557, 696, 835, 975, 1114, 1253, 1393};
constexpr std::array<int, kPairs> kWords32 = {96,  120, 144, 168, 192,  240,  288,  336,  384, 480,
                                              576, 672, 768, 960, 1152, 1344, 1536, 1728, 1920};

bool ValidCode(int frmsizecod) {
    return frmsizecod >= 0 && frmsizecod < 2 * kPairs;
}

}  // namespace

std::optional<int> Ac3FrameWords(int fscod, int frmsizecod) {
    if (!ValidCode(frmsizecod)) {
        return std::nullopt;
    }
    const auto pair = static_cast<std::size_t>(frmsizecod / 2);
    switch (fscod) {
        case 0:
            return kWords48[pair];
        case 1:
            return kWords44Even[pair] + (frmsizecod & 1);
        case 2:
            return kWords32[pair];
        default:
            return std::nullopt;  // fscod 3 is reserved
    }
}

std::optional<int> Ac3NominalBitRate(int frmsizecod) {
    if (!ValidCode(frmsizecod)) {
        return std::nullopt;
    }
    return kBitRate[static_cast<std::size_t>(frmsizecod / 2)];
}

}  // namespace velmora
