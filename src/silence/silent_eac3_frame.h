// Builds a complete E-AC-3 sync frame (ATSC A/52 Annex E) that decodes to digital silence,
// from its header fields.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace velmora {

// The header fields of the frame, with the codes as the frame carries them. Everything the
// bit stream information could carry beyond these (mixing and informational metadata,
// compression words, additional information) is left out.
struct SilentEac3FrameParams {
    int strmtyp = 0;      // 0 independent, 1 dependent, 2 independent converted from AC-3
    int substreamid = 0;  // 0..7
    // Bytes in the whole frame: even, at most 4096 (frmsiz = frameBytes / 2 - 1). Give the
    // stream's own frame size so the data rate stays what it was.
    int frameBytes = 0;
    int fscod = 0;       // 0..2 48, 44.1, 32 kHz; 3 the reduced rates of fscod2
    int fscod2 = 0;      // with fscod 3: 0..2 24, 22.05, 16 kHz
    int numblkscod = 3;  // 0..3: 1, 2, 3 or 6 audio blocks; fscod 3 always has 6 (code 3)
    int acmod = 2;       // 0..7: channel layout as in AC-3, 0 dual mono
    bool lfeon = false;  // low-frequency effects channel present
    int bsid = 16;       // 11..16 share this syntax
    int dialnorm = 31;   // 0..31: dialogue level -dialnorm dB (dual mono: both channels)
    // Dependent frames only: chanmape = 1 and this custom channel map. Bit 15 (the first
    // sent) is the left channel; a pair location counts as two channels, and the map must
    // name exactly the channels the frame carries (acmod plus LFE). Without it the dependent
    // channels keep the places acmod gives them.
    std::optional<int> chanmap = std::nullopt;
    // Frames of fewer than six blocks: convsync (strmtyp 0) or blkid (strmtyp 2), set on the
    // frame that starts a group of six blocks for a converter back to AC-3.
    bool convsync = false;
    // strmtyp 2: frmsizecod of the AC-3 stream the frame came from, 0..37; sent in six-block
    // frames and in those that start a group.
    int ac3Frmsizecod = 0;

    // Silence comes from every bit allocation being zero and dither being off; changing
    // these makes the frame audible on purpose, to show that a silence check is live.
    int csnroffst = 0;      // frmcsnroffst, 0..63; 0 with fsnroffst 0 allocates no bits
    int fsnroffst = 0;      // frmfsnroffst, 0..15
    bool dithflag = false;  // dithflag of every channel; 1 fills zero-bit bins with noise
};

// The frame for `params`, CRC filled in, or nothing when a field is out of range, the
// channel map does not fit the channels, or the frame is too small for its audio blocks.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> BuildSilentEac3Frame(
    const SilentEac3FrameParams& params);

}  // namespace velmora
