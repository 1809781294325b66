// RIFF/WAVE files and their 64-bit forms (RF64, BW64): the chunks in order, the sample format
// from `fmt `, and where the samples lie.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velmora {

inline constexpr std::uint32_t kWavPcm = 1;
inline constexpr std::uint32_t kWavFloat = 3;
inline constexpr std::uint32_t kWavExtensible = 0xFFFE;
// A 32-bit size field that says "see ds64".
inline constexpr std::uint32_t kWavSizeInDs64 = 0xFFFFFFFF;

struct WavFormat {
    std::uint32_t tag = 0;  // from the extensible subformat where there is one
    bool extensible = false;
    int channels = 0;
    std::int32_t samplingRate = 0;
    int blockAlign = 0;  // bytes of one sample of every channel
    int bits = 0;        // container bits of one sample
};

struct WavChunk {
    std::string id;           // four characters
    std::int64_t offset = 0;  // of the chunk's 8-byte header
    std::int64_t size = 0;    // of its body, from ds64 where the field says so
    // Bytes in the file from the header to the next chunk: header, body and pad byte.
    [[nodiscard]] std::int64_t Stride() const { return 8 + size + (size & 1); }
};

struct WavLayout {
    std::string form;  // "RIFF", "RF64" or "BW64"
    WavFormat format;
    std::vector<WavChunk> chunks;  // in file order
    std::size_t dataIndex = 0;     // of the `data` chunk
    // Where the samples lie; bytes past a whole sample at the end are not counted.
    std::int64_t dataStart = 0;
    std::int64_t dataBytes = 0;
    // What was found wrong, for a message; empty when the file can be corrected.
    std::string fault;
};

// `count` bytes from `offset`, zero-filled past the end.
using ReadAt = std::function<std::vector<std::uint8_t>(std::int64_t offset, std::size_t count)>;

// Whether the file starts as a WAVE file does, whatever follows.
[[nodiscard]] bool LooksLikeWav(const std::vector<std::uint8_t>& start);

// Walks the chunks of a file of `length` bytes. A data chunk that claims more than the file
// holds (a recording cut off, a stream that never came back to fill in its size) ends at
// the file's end.
[[nodiscard]] WavLayout ReadWavLayout(const ReadAt& read, std::int64_t length);

// "PCM, 24 bit" or "IEEE float, 32 bit".
[[nodiscard]] std::string WavSampleText(const WavFormat& format);

}  // namespace velmora
