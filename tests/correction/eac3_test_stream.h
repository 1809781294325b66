// E-AC-3 streams as discs carry 7.1, built from an encoder's 5.1 stream.
#pragma once

#include <algorithm>
#include <span>

#include "formats/eac3_frame.h"
#include "silence/silent_eac3_frame.h"
#include "support/test_support.h"

namespace velmora::test {

// 7.1 the way discs carry it: after every independent 5.1 frame a dependent frame with the
// back surround pair (channel map bit 9), here a silent one of our own making, since the
// encoder writes no dependent frames.
inline Bytes WithDependentFrames(const Bytes& stream) {
    Bytes out;
    for (std::size_t at = 0; at + kEac3HeaderBytes <= stream.size();) {
        const Eac3Header header = DecodeEac3Header(std::span(stream).subspan(at));
        const auto length = static_cast<std::size_t>(Eac3FrameLength(header));
        out.insert(out.end(), stream.begin() + static_cast<std::ptrdiff_t>(at),
                   stream.begin() + static_cast<std::ptrdiff_t>(std::min(at + length, stream.size())));
        SilentEac3FrameParams params;
        params.strmtyp = 1;
        params.frameBytes = 512;
        params.fscod = header.fscod;
        params.numblkscod = header.numblkscod;
        params.acmod = 2;
        params.chanmap = 0x0200;
        const auto dependent = BuildSilentEac3Frame(params);
        if (dependent) {
            out.insert(out.end(), dependent->begin(), dependent->end());
        }
        at += length;
    }
    return out;
}

}  // namespace velmora::test
