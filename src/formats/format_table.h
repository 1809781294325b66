// Every stream format in one table: how names and dialogs call it, how its frames are read,
// how a source is looked at and where its silence comes from. Adding a format is one row.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "analysis/source_reader.h"
#include "analysis/stream_info.h"
#include "formats/file_type.h"
#include "formats/frame_facts.h"

namespace velmora {

// What one step of a correction cuts or adds. Frames come whole from the stream; a sample
// (PCM) has no frame header to read, and its container's header must be rewritten to the
// new length, so such a format brings its own walk and header writer.
enum class FormatUnit { Frame, Sample };

struct FormatRow {
    FileType type;
    // How names mark the format ("Film AC3 DELAY -40ms.ac3"); also a name ending that selects
    // it without a dot ("filempa").
    std::string_view word;
    // What a proposed target name ends in.
    std::string_view targetExtension;
    // Other endings of the format's names, kept on the proposed target ("x.mp3" gives
    // "x_fix.mp3"); upper case, empty ones unused.
    std::array<std::string_view, 4> ownExtensions;
    // The dialogs' filter: "AC3-Files" and "*.AC3;*.EAC3;*.EC3".
    std::string_view filterName;
    std::string_view filterPatterns;
    // Whether the Save dialog offers it.
    bool inTargetFilter;
    FormatUnit unit;
    // What one unit's headers say (the unit starts at bytes[0]).
    FrameFacts (*readFacts)(std::span<const std::uint8_t> bytes);
    // A unit's facts follow from its first three bytes, so a walk may remember them.
    bool factsFromFirstThreeBytes;
    // Fills the stream description from the source and returns the report's lines.
    std::string (*analyse)(SourceReader& source, StreamInfo& info);
    // Puts a silent unit matching info.FirstUnit into info; nullptr where none can be built,
    // and false when this stream's syntax is beyond the builder.
    bool (*loadSilence)(StreamInfo& info);
    // Some tools store the stream's 16-bit words little-endian; players read them so too.
    bool mayBeByteSwapped;
    // Whether a whole unit's check words hold (DTS: its extension substreams' header CRCs,
    // since the core's header CRCs are rare and its audio has none).
    bool (*crcHolds)(std::span<const std::uint8_t> unit);
    // The CRCs run over every byte (AC-3): checked on the reading thread, as each block
    // arrives. Elsewhere they cover a few header bytes, and the walk checks them itself.
    bool crcCoversFrames;
    // Leading bytes that are the same in every unit of a stream (the sync word, and in MPEG
    // audio the version and layer with it): what a repair writes back over a destroyed one.
    std::size_t syncBytes;
    // Units vary in length even at one rate (AAC): the writer's report gives the mean data
    // rate of the whole walk.
    bool averageRateInReport;
};

[[nodiscard]] std::span<const FormatRow> Formats();
// The row of a type; any other code is AC-3, as the file names are.
[[nodiscard]] const FormatRow& FormatOf(FileType type);

// Reads the unit that starts at bytes[0]; `bytes` should hold everything available from
// there, since a unit ends only where the next one starts. Missing bytes read as 0.
[[nodiscard]] FrameFacts ReadFrameFacts(FileType fileType, std::span<const std::uint8_t> bytes);

// ReadFrameFacts for a walk over one stream's frames, one after another. Where a unit's facts
// follow from its first three bytes (MPEG audio) and a stream repeats a handful of them (its
// bit rates, with and without padding), they are decoded once and remembered: MP3 frames are
// short, and the walk asks for every one of them.
class FrameFactsReader {
  public:
    explicit FrameFactsReader(FileType fileType) : format_(FormatOf(fileType)) {}

    [[nodiscard]] FrameFacts Read(std::span<const std::uint8_t> bytes);

  private:
    struct Remembered {
        bool used = false;
        std::uint32_t header = 0;  // the first three bytes
        FrameFacts facts;
    };

    const FormatRow& format_;
    std::array<Remembered, 256> remembered_{};  // by the third byte, which varies most
};

}  // namespace velmora
