// Reads a source's frames one by one, each tested against its format and the stream's first
// frame, from blocks read ahead on another thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "correction/crc_precheck.h"
#include "correction/read_ahead.h"
#include "correction/write_observer.h"
#include "formats/file_type.h"
#include "formats/format_table.h"
#include "platform/files/byte_file.h"

namespace velmora {

// How a call to FrameReader::Next ended.
enum class ReadEnd {
    Frame,       // a whole frame of the stream
    Repaired,    // (repairing only) damaged bytes left behind: ReadFrame::repair says how
    End,         // no bytes left
    ShortTail,   // the last piece was too short for a frame: no damage, it is left out
    Damaged,     // the bytes at Walked() are no frame of this stream
    ReadFailed,
    Cancelled,   // the user asked to stop, seen once per block
    HolderFailed,
};

// Whoever holds on to frames handed out (to write them in one run) and must be done with
// them before the reader moves its bytes.
class FrameHolder {
  public:
    virtual ~FrameHolder() = default;
    // False stops the walk with HolderFailed.
    [[nodiscard]] virtual bool BeforeBytesMove() = 0;
};

// What a repairing walk did with bytes that were no sound unit.
struct Repair {
    enum class Kind {
        CrcError,      // a whole unit whose check words fail
        LostHeader,    // a whole unit whose sync word was destroyed
        LostDependent, // an E-AC-3 unit whose dependent frame is damaged: all of it goes
        LostExtension, // a DTS-HD unit whose extension substream is damaged: the core stays
        Junk,        // bytes that are no unit (junk, or a unit cut short)
    };
    Kind kind = Kind::Junk;
    std::int64_t at = 0;     // where they start, in bytes from the walk's start
    std::int64_t bytes = 0;  // how many were left behind
    // Silent units to put in their place: one for a whole unit; for junk in a stream of
    // constant rate, the time those bytes stood for.
    std::int64_t units = 0;
    // Junk in a stream whose rate varies: the time it stood for cannot be known.
    bool timeUnknown = false;
};

struct ReadFrame {
    std::span<const std::uint8_t> bytes;
    FrameFacts facts;
    // The unit's check words hold, or its format has none.
    bool crcHolds = true;
    // For ReadEnd::Repaired; facts are then the last sound unit's, and bytes the damaged
    // unit's own for a whole one (its sync word as the source has it), else empty.
    Repair repair;
};

class FrameReader {
  public:
    struct Options {
        FileType fileType = FileType::Ac3;
        // The analysed frame length: a shorter piece at the end is a cut-off last frame.
        std::int32_t firstFrameLength = 0;
        // A byte-swapped source's words are swapped as they are read, so frames come in the
        // usual order.
        bool byteSwapped = false;
        // Damaged bytes are left behind up to the next sound unit (ReadEnd::Repaired)
        // instead of ending the walk.
        bool repair = false;
        // A tag follows the audio bytes: a damaged last unit there is no cut-off end.
        bool tagFollows = false;
    };

    // Reads `audioBytes` bytes from the source's current position.
    FrameReader(InputFile& source, std::int64_t audioBytes, const Options& options,
                WriteObserver& observer, FrameHolder& holder);

    // The next frame. Frames handed out stay where they are until the holder is told.
    [[nodiscard]] ReadEnd Next(ReadFrame& frame);

    // The last frame handed out (empty before the first), kept through every move.
    [[nodiscard]] std::span<const std::uint8_t> LastFrame() const;
    // Bytes of whole frames walked: where a damaged piece begins.
    [[nodiscard]] std::int64_t Walked() const { return walked_; }
    // The leading bytes every unit of the stream shares (a destroyed sync word's stand-in).
    [[nodiscard]] std::size_t SyncBytes() const { return FormatOf(options_.fileType).syncBytes; }
    // Stops reading ahead, so that the source can be read further from where the frames end.
    void Stop() { reader_.reset(); }

  private:
    [[nodiscard]] const std::uint8_t* Bytes() const { return window_.bytes.data(); }
    [[nodiscard]] FrameFacts FactsAt(std::size_t at) {
        return facts_.Read(std::span(Bytes() + at, end_ - at));
    }
    [[nodiscard]] bool Belongs(const FrameFacts& facts) const;
    // Whether the unit at begin_ holds its check words: as the reading thread found, or
    // looked at here where it did not get that far.
    [[nodiscard]] bool CrcHolds(std::span<const std::uint8_t> unit);
    // Takes the unit at begin_ as a sound one.
    ReadEnd Take(ReadFrame& frame, const FrameFacts& facts, bool crcHolds);
    // Whether a unit of the stream starts at `at` and the next ones follow it, up to three,
    // or the end of the bytes (where more are still to come, as far as they are read).
    [[nodiscard]] bool Confirmed(std::size_t at);
    // The first confirmed unit in [from, until), or until.
    [[nodiscard]] std::size_t NextConfirmed(std::size_t from, std::size_t until);
    // Repairing: the unit at begin_ fails, or nothing of the stream starts there.
    std::optional<ReadEnd> RepairUnit(ReadFrame& frame, const FrameFacts& facts, bool crcHolds);
    std::optional<ReadEnd> RepairHere(ReadFrame& frame);
    // Leaves the bytes from begin_ up to the next confirmed unit (or the end) behind.
    ReadEnd SkipJunk(ReadFrame& frame);
    // Hands out a repair; begin_ is past the bytes it leaves behind, except for junk.
    ReadEnd Repaired(ReadFrame& frame, Repair repair, const FrameFacts& facts);
    // A whole unit at begin_ left behind, one silent unit in its place: its bytes go with it.
    ReadEnd RepairedWhole(ReadFrame& frame, Repair::Kind kind, const FrameFacts& facts);
    // Copies the last frame out of the window, which then need not keep it.
    void KeepLastFrameApart();
    void Prefetch();
    // Nothing, or why the walk ends.
    [[nodiscard]] std::optional<ReadEnd> Refill();
    // Moves the bytes not yet walked (and the last frame) in front of the next block.
    void Join(ReadAhead::Block next);

    WriteObserver& observer_;
    FrameHolder& holder_;
    FrameFactsReader facts_;
    bool (*crcHolds_)(std::span<const std::uint8_t> unit);
    Options options_;
    CrcPrecheck precheck_;
    std::deque<ReadAhead::CheckedUnit> checked_;
    std::optional<ReadAhead> reader_;
    ReadAhead::Block window_;  // the block being walked, with what was left of the one before
    std::size_t begin_ = 0;    // first byte not yet walked
    std::size_t prefetched_ = 0;
    std::size_t end_ = 0;  // end of the bytes read
    std::size_t lastFrame_ = 0;
    std::size_t lastFrameLength_ = 0;
    std::size_t wanted_;  // bytes ahead of the walk before it looks at a unit
    std::int64_t toRead_ = 0;
    std::int64_t walked_ = 0;
    bool first_ = true;
    bool keyKnown_ = false;
    std::uint32_t streamKey_ = 0;
    // The last sound unit's facts, and whether the sound units so far shared one rate.
    FrameFacts lastFacts_;
    bool variableRate_ = false;
    // The units carry extensions, and the last one's was found damaged.
    bool extended_ = false;
    bool extensionLost_ = false;
    // The last frame, kept apart while junk after it is walked, so that the junk need not be.
    std::vector<std::uint8_t> lastFrameApart_;
};

}  // namespace velmora
