// Reads a source's frames one by one, each tested against its format and the stream's first
// frame, from blocks read ahead on another thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "correction/read_ahead.h"
#include "correction/write_observer.h"
#include "formats/file_type.h"
#include "formats/format_table.h"
#include "platform/files/byte_file.h"

namespace velmora {

// How a call to FrameReader::Next ended.
enum class ReadEnd {
    Frame,       // a whole frame of the stream
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

struct ReadFrame {
    std::span<const std::uint8_t> bytes;
    FrameFacts facts;
    // The unit's check words hold, or its format has none.
    bool crcHolds = true;
};

class FrameReader {
  public:
    // Reads `audioBytes` bytes from the source's current position. `firstFrameLength` is the
    // analysed frame length: a shorter piece at the end is a cut-off last frame. A byte-swapped
    // source's words are swapped as they are read, so frames come in the usual order.
    FrameReader(InputFile& source, std::int64_t audioBytes, FileType fileType,
                std::int32_t firstFrameLength, bool byteSwapped, WriteObserver& observer,
                FrameHolder& holder);

    // The next frame. Frames handed out stay where they are until the holder is told.
    [[nodiscard]] ReadEnd Next(ReadFrame& frame);

    // The last frame handed out (empty before the first), kept through every move.
    [[nodiscard]] std::span<const std::uint8_t> LastFrame() const;
    // Bytes of whole frames walked: where a damaged piece begins.
    [[nodiscard]] std::int64_t Walked() const { return walked_; }
    // Stops reading ahead, so that the source can be read further from where the frames end.
    void Stop() { reader_.reset(); }

  private:
    [[nodiscard]] const std::uint8_t* Bytes() const { return window_.bytes.data(); }
    void Prefetch();
    // Nothing, or why the walk ends.
    [[nodiscard]] std::optional<ReadEnd> Refill();
    // Moves the bytes not yet walked (and the last frame) in front of the next block.
    void Join(ReadAhead::Block next);

    WriteObserver& observer_;
    FrameHolder& holder_;
    FrameFactsReader facts_;
    bool (*crcHolds_)(std::span<const std::uint8_t> unit);
    std::int32_t firstFrameLength_;
    bool byteSwapped_;
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
    std::uint32_t streamKey_ = 0;
};

}  // namespace velmora
