// Builds a complete AC-3 sync frame that decodes to digital silence, from its parameters.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace velmora {

// Production information (audprodie = 1).
struct Ac3ProductionInfo {
    int mixlevel = 0;  // mixlevel, 0..31: peak mixing level 80 + mixlevel dB SPL
    int roomtyp = 0;   // roomtyp, 0..3: 0 not indicated, 1 large room, 2 small room
};

// The header and bit stream information of the frame, in A/52 terms, plus a few knobs
// that exist only to show that the decoder checks are live.
struct SilentAc3FrameParams {
    int fscod = 0;             // fscod, 0..2: 48, 44.1, 32 kHz
    int frmsizecod = 0;        // frmsizecod, 0..37: bit rate and frame size (Table 5.18)
    int bsid = 8;              // bsid, 0..10: all share this syntax (6 with timecodes off)
    int bsmod = 0;             // bsmod, 0..7: 0 complete main service
    int acmod = 2;             // acmod, 0..7: channel layout, 0 dual mono
    int cmixlev = 0;           // cmixlev, 0..3: written when there are three front channels
    int surmixlev = 0;         // surmixlev, 0..3: written when there are surround channels
    int dsurmod = 0;           // dsurmod, 0..3: written for 2/0 only
    bool lfeon = false;        // lfeon: low-frequency effects channel present
    // For dual mono (acmod 0) the next three describe both channels: dialnorm2, compr2e
    // and audprodi2e are written with the same values.
    int dialnorm = 31;         // dialnorm, 0..31: dialogue level -dialnorm dB (0 reads as 31)
    std::optional<int> compr;  // compre and compr, 0..255
    std::optional<Ac3ProductionInfo> audprod;  // audprodie and its fields
    bool copyrightb = false;                   // copyrightb
    bool origbs = false;                       // origbs: original bit stream

    // Silence comes from every bit allocation being zero and dither being off; changing
    // these makes the frame audible on purpose.
    int csnroffst = 0;      // csnroffst, 0..63; 0 with fsnroffst 0 allocates no bits
    int fsnroffst = 0;      // fsnroffst of every channel, 0..15
    bool dithflag = false;  // dithflag of every channel; 1 fills zero-bit bins with noise
    // Block 0 must send the LFE exponents; false omits them to check that a structural
    // walk notices.
    bool lfeExponentsInBlock0 = true;
};

// Where the parts of a built frame lie, in bits from the frame start.
struct SilentAc3FrameLayout {
    std::int64_t bsiEnd = 0;     // first bit after the bit stream information
    std::int64_t block0End = 0;  // first bit after audio block 0
    std::int64_t blocksEnd = 0;  // first bit after audio block 5
};

struct SilentAc3Frame {
    std::vector<std::uint8_t> bytes;  // the whole frame, both CRC words filled in
    SilentAc3FrameLayout layout;
};

// The frame for `params`, or nothing when a parameter is out of range or the rate codes
// have no frame size. Every fscod 0..2, frmsizecod 0..37, acmod and lfeon builds: the
// largest audio (3/2 + LFE with every optional field) ends at bit 594, and the smallest
// frame (32 kbit/s at 48 kHz) protects 640 bits with crc1. A frame whose audio would not
// fit there is refused rather than written unprotected.
[[nodiscard]] std::optional<SilentAc3Frame> BuildSilentAc3Frame(const SilentAc3FrameParams& params);

}  // namespace velmora
