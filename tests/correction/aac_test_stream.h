// ADTS streams as other encoders write them, rebuilt from ffmpeg's one-block frames without
// CRC.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace velmora::test {

// The frames of an ADTS stream, each with its header.
inline std::vector<Bytes> AdtsFrames(const Bytes& stream) {
    std::vector<Bytes> frames;
    for (std::size_t at = 0; at + 7 <= stream.size();) {
        const std::size_t length = static_cast<std::size_t>((stream[at + 3] & 3) << 11 |
                                                            stream[at + 4] << 3 |
                                                            stream[at + 5] >> 5);
        if (length < 7 || at + length > stream.size()) {
            break;
        }
        frames.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(at),
                            stream.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    }
    return frames;
}

// A header like `model`'s for a frame of `length` bytes and `blocks` raw data blocks.
inline Bytes AdtsHeaderFor(const Bytes& model, std::size_t length, int blocks, bool crc) {
    Bytes header(model.begin(), model.begin() + 7);
    header[1] = static_cast<std::uint8_t>((header[1] & 0xFE) | (crc ? 0 : 1));
    header[3] = static_cast<std::uint8_t>((header[3] & 0xFC) | (length >> 11));
    header[4] = static_cast<std::uint8_t>(length >> 3);
    header[5] = static_cast<std::uint8_t>((header[5] & 0x1F) | ((length & 7) << 5));
    header[6] = static_cast<std::uint8_t>((header[6] & 0xFC) | (blocks - 1));
    return header;
}

// Every frame protected: a CRC word after the header. No decoder here checks it (it covers
// the first bits of every element), so it is left 0.
inline Bytes WithAdtsCrc(const Bytes& stream) {
    Bytes out;
    for (const Bytes& frame : AdtsFrames(stream)) {
        const Bytes header = AdtsHeaderFor(frame, frame.size() + 2, 1, true);
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), {0, 0});
        out.insert(out.end(), frame.begin() + 7, frame.end());
    }
    return out;
}

// Two raw data blocks in every frame, each from one of ffmpeg's frames (an odd last one is
// left out).
inline Bytes WithTwoBlocks(const Bytes& stream) {
    const std::vector<Bytes> frames = AdtsFrames(stream);
    Bytes out;
    for (std::size_t n = 0; n + 1 < frames.size(); n += 2) {
        const Bytes& a = frames[n];
        const Bytes& b = frames[n + 1];
        const Bytes header = AdtsHeaderFor(a, a.size() + b.size() - 7, 2, false);
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), a.begin() + 7, a.end());
        out.insert(out.end(), b.begin() + 7, b.end());
    }
    return out;
}

// Every frame given a fill element with SBR data before its end element, where HE-AAC
// encoders put it (the SBR bits themselves are not real: only the element's place and type
// tell the stream apart).
inline void WithSbrFill(Bytes& stream) {
    Bytes out;
    for (const Bytes& frame : AdtsFrames(stream)) {
        std::vector<bool> bits;
        for (std::size_t n = 7 * 8; n < frame.size() * 8; ++n) {
            bits.push_back((frame[n / 8] >> (7 - n % 8) & 1) != 0);
        }
        while (!bits.empty() && !bits.back()) {
            bits.pop_back();
        }
        bits.resize(bits.size() - 3);  // the end element
        // ID_FIL, count 2, EXT_SBR_DATA and 12 bits of it; then ID_END.
        for (const char bit : std::string("110") + "0010" + "1101" + "100000000000" + "111") {
            bits.push_back(bit == '1');
        }
        Bytes payload((bits.size() + 7) / 8);
        for (std::size_t n = 0; n < bits.size(); ++n) {
            payload[n / 8] = static_cast<std::uint8_t>(payload[n / 8] | bits[n] << (7 - n % 8));
        }
        const Bytes header = AdtsHeaderFor(frame, 7 + payload.size(), 1, false);
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), payload.begin(), payload.end());
    }
    stream = out;
}

// Channel configuration 0 in every header: the layout is in a program config element,
// which no silent frame carries.
inline void WithChannelsInPce(Bytes& stream) {
    std::size_t at = 0;
    for (const Bytes& frame : AdtsFrames(stream)) {
        stream[at + 2] &= 0xFE;
        stream[at + 3] &= 0x3F;
        at += frame.size();
    }
}

}  // namespace velmora::test
