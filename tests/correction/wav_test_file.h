// WAVE files as recorders and editors write them, built around ffmpeg's samples, and the
// checks that a corrected copy moved its samples and markers and kept everything else.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "support/test_support.h"

namespace velmora::test {

inline std::uint32_t WavLe32(const Bytes& b, std::size_t at) {
    return Le32(&b[at]);
}

inline void PutWavLe32(Bytes& b, std::size_t at, std::uint64_t value) {
    PutLe32(&b[at], static_cast<std::uint32_t>(value));
}

// The chunks of a file in order, by id and body; ds64 sizes are taken for data.
inline std::vector<std::pair<std::string, Bytes>> WavChunks(const Bytes& file) {
    std::vector<std::pair<std::string, Bytes>> chunks;
    std::uint64_t ds64Data = 0;
    for (std::size_t at = 12; at + 8 <= file.size();) {
        const std::string id(file.begin() + static_cast<std::ptrdiff_t>(at),
                             file.begin() + static_cast<std::ptrdiff_t>(at + 4));
        std::uint64_t size = WavLe32(file, at + 4);
        if (id == "ds64") {
            ds64Data = WavLe32(file, at + 16) | std::uint64_t{WavLe32(file, at + 20)} << 32;
        }
        if (id == "data" && size == 0xFFFFFFFF) {
            size = ds64Data;
        }
        size = std::min<std::uint64_t>(size, file.size() - at - 8);
        const auto body = file.begin() + static_cast<std::ptrdiff_t>(at + 8);
        chunks.emplace_back(id, Bytes(body, body + static_cast<std::ptrdiff_t>(size)));
        at += 8 + size + (size & 1);
    }
    return chunks;
}

inline Bytes WavChunk(const std::string& id, const Bytes& body) {
    Bytes chunk(id.begin(), id.end());
    chunk.resize(8);
    PutWavLe32(chunk, 4, body.size());
    chunk.insert(chunk.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) {
        chunk.push_back(0);
    }
    return chunk;
}

inline constexpr std::uint32_t kBextTime = 1000;  // samples since midnight

// ffmpeg's fmt and samples, with what broadcast recorders and editors add: bext (version 2,
// with loudness) and iXML with a time reference, three cue points with labels, a note and
// a text, a sampler loop near each end, and an odd-sized chunk after the samples.
inline Bytes WithMarkers(const Bytes& ffmpegWav) {
    Bytes fmt, data;
    for (const auto& [id, body] : WavChunks(ffmpegWav)) {
        if (id == "fmt ") {
            fmt = body;
        } else if (id == "data") {
            data = body;
        }
    }
    const std::uint32_t blockAlign = fmt[12];
    const std::uint32_t samples = static_cast<std::uint32_t>(data.size()) / blockAlign;
    Bytes bext(602, 0);
    PutWavLe32(bext, 338, kBextTime);
    bext[346] = 2;
    bext[412] = 0x38;  // integrated loudness -20 LUFS, in hundredths
    bext[413] = 0xF8;
    const std::string ixml =
        "<BWF_XML><BWF_TIME_REFERENCE_LOW>1000</BWF_TIME_REFERENCE_LOW>"
        "<BWF_TIME_REFERENCE_HIGH>0</BWF_TIME_REFERENCE_HIGH></BWF_XML>";
    Bytes cue(4, 0);
    PutWavLe32(cue, 0, 3);
    Bytes adtl = {'a', 'd', 't', 'l'};
    const std::uint32_t places[] = {100, samples / 2, samples - 10};
    for (std::uint32_t name = 1; name <= 3; ++name) {
        Bytes point(24, 0);
        PutWavLe32(point, 0, name);
        PutWavLe32(point, 4, places[name - 1]);
        point[8] = 'd', point[9] = 'a', point[10] = 't', point[11] = 'a';
        PutWavLe32(point, 20, places[name - 1]);
        cue.insert(cue.end(), point.begin(), point.end());
        Bytes label(4, 0);
        PutWavLe32(label, 0, name);
        label.insert(label.end(), {'M', static_cast<std::uint8_t>('0' + name), 0});
        const Bytes labl = WavChunk(name == 2 ? "ltxt" : "labl", label);
        adtl.insert(adtl.end(), labl.begin(), labl.end());
    }
    Bytes note(4, 0);
    PutWavLe32(note, 0, 3);
    note.insert(note.end(), {'e', 'n', 'd', 0});
    const Bytes noteChunk = WavChunk("note", note);
    adtl.insert(adtl.end(), noteChunk.begin(), noteChunk.end());
    Bytes smpl(36 + 2 * 24, 0);
    PutWavLe32(smpl, 28, 2);
    PutWavLe32(smpl, 36 + 8, 1000), PutWavLe32(smpl, 36 + 12, 2000);
    PutWavLe32(smpl, 60 + 8, samples - 3000), PutWavLe32(smpl, 60 + 12, samples - 2000);

    Bytes file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const Bytes& chunk :
         {WavChunk("fmt ", fmt), WavChunk("bext", bext),
          WavChunk("iXML", Bytes(ixml.begin(), ixml.end())), WavChunk("data", data),
          WavChunk("cue ", cue), WavChunk("LIST", adtl), WavChunk("smpl", smpl),
          WavChunk("zzzz", {1, 2, 3})}) {
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    PutWavLe32(file, 4, file.size() - 8);
    return file;
}

// Points (cue names to places, or loop starts) moved by `shift`; those outside dropped.
inline std::map<std::uint32_t, std::int64_t> Moved(const std::map<std::uint32_t, std::int64_t>& at,
                                                   std::int64_t shift, std::int64_t length) {
    std::map<std::uint32_t, std::int64_t> moved;
    for (const auto& [name, place] : at) {
        if (place + shift >= 0 && place + shift <= length) {
            moved[name] = place + shift;
        }
    }
    return moved;
}

inline std::map<std::uint32_t, std::int64_t> CuePlaces(const Bytes& cue) {
    std::map<std::uint32_t, std::int64_t> places;
    for (std::size_t n = 0; n < WavLe32(cue, 0); ++n) {
        places[WavLe32(cue, 4 + 24 * n)] = WavLe32(cue, 4 + 24 * n + 20);
    }
    return places;
}

// The names that labels, notes and texts in a LIST adtl refer to.
inline std::vector<std::uint32_t> LabelNames(const Bytes& list) {
    std::vector<std::uint32_t> names;
    for (std::size_t at = 4; at + 12 <= list.size();) {
        names.push_back(WavLe32(list, at + 8));
        const std::size_t size = WavLe32(list, at + 4);
        at += 8 + size + (size & 1);
    }
    return names;
}

// The corrected copy of `source`: samples cut at both ends, silence added, every chunk but
// those that count in samples byte-identical, and those moved with the samples.
inline void ExpectWavCorrected(const Bytes& source, const Bytes& target, std::int64_t cutStart,
                               std::int64_t addStart, std::int64_t cutEnd, std::int64_t addEnd) {
    std::map<std::string, Bytes> in, out;
    std::vector<std::string> inOrder, outOrder;
    // The 64-bit sizes (ds64, or the JUNK kept for them) may come or go.
    const auto sizeChunk = [](const std::string& id) { return id == "ds64" || id == "JUNK"; };
    for (const auto& [id, body] : WavChunks(source)) {
        in[id] = body;
        if (!sizeChunk(id)) {
            inOrder.push_back(id);
        }
    }
    for (const auto& [id, body] : WavChunks(target)) {
        out[id] = body;
        if (!sizeChunk(id)) {
            outOrder.push_back(id);
        }
    }
    EXPECT_EQ(outOrder, inOrder);
    const std::int64_t unit = in["fmt "][12];
    const std::uint8_t silence = in["fmt "][14] == 8 ? 0x80 : 0;
    const Bytes& samples = in["data"];
    Bytes expected(static_cast<std::size_t>(addStart * unit), silence);
    const std::int64_t kept = static_cast<std::int64_t>(samples.size()) / unit - cutStart - cutEnd;
    expected.insert(expected.end(), samples.begin() + cutStart * unit,
                    samples.begin() + (cutStart + kept) * unit);
    expected.insert(expected.end(), static_cast<std::size_t>(addEnd * unit), silence);
    EXPECT_TRUE(out["data"] == expected) << "the samples differ";
    const std::int64_t shift = addStart - cutStart;
    const std::int64_t length = kept + addStart + addEnd;
    for (const auto& [id, body] : in) {
        if (id == "cue ") {
            const auto places = Moved(CuePlaces(body), shift, length);
            EXPECT_EQ(CuePlaces(out[id]), places);
            for (const std::uint32_t name : LabelNames(out["LIST"])) {
                EXPECT_TRUE(places.contains(name)) << "label of dropped cue " << name;
            }
        } else if (id == "bext") {
            const std::int64_t day = std::int64_t{WavLe32(in["fmt "], 4)} * 86400;
            const std::int64_t time = ((std::int64_t{WavLe32(body, 338)} - shift) % day + day) % day;
            EXPECT_EQ(WavLe32(out[id], 338), time);
            const std::string ixml(out["iXML"].begin(), out["iXML"].end());
            EXPECT_NE(ixml.find("LOW>" + std::to_string(time) + "<"), std::string::npos) << ixml;
        } else if (id == "smpl") {
            std::map<std::uint32_t, std::int64_t> starts;
            for (std::uint32_t n = 0; n < WavLe32(body, 28); ++n) {
                starts[n] = WavLe32(body, 36 + 24 * n + 8);
            }
            const auto moved = Moved(starts, shift, length - 1000);
            ASSERT_EQ(WavLe32(out[id], 28), moved.size());
            std::size_t n = 0;
            for (const auto& [loop, start] : moved) {
                EXPECT_EQ(WavLe32(out[id], 36 + 24 * n++ + 8), start) << "loop " << loop;
            }
        } else if (id == "fact") {
            EXPECT_EQ(WavLe32(out[id], 0), length);
        } else if (id != "data" && id != "iXML" && !sizeChunk(id) &&
                   (id != "LIST" || !in.contains("cue "))) {
            EXPECT_TRUE(out[id] == body) << id << " changed";
        }
    }
}

}  // namespace velmora::test
