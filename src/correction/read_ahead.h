// Reads a file ahead of the frame walk on a thread of its own.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/files/byte_file.h"

namespace velmora {

// The system copies every byte twice on its way through the walk: into memory when it is
// read and into the target when it is written. Reading the next blocks while the walk
// writes the current one lets the two copies run side by side, so the walk takes about as
// long as a copy made inside the system.
//
// Blocks come in file order. Each has room before its bytes, so that the part of a frame
// left at the end of one block can be put right in front of the next.
class ReadAhead {
  public:
    // A unit whose check words the reading thread looked at, by its place in the bytes read.
    struct CheckedUnit {
        std::int64_t start = 0;
        std::int64_t length = 0;
        bool crcHolds = false;
    };

    struct Block {
        std::vector<std::uint8_t> bytes;
        std::size_t start = 0;  // where the bytes read begin, after the room
        std::size_t size = 0;   // bytes read
        bool failed = false;    // fewer bytes than asked for: InputFile::Reason()
        std::int64_t offset = 0;  // of the first byte read, from where the reading began
        // What the block work found: the units that end in this block, in order.
        std::vector<CheckedUnit> checked;
    };

    // Work done on each block as it is read, while the walk still works on the ones before.
    class BlockWork {
      public:
        virtual ~BlockWork() = default;
        virtual void Done(Block& block, bool last) = 0;
    };

    // Reads `count` bytes from the source's current position in blocks of `blockBytes`
    // with `roomBefore` bytes of room, keeping at most `blocks` of them in memory; `work`,
    // when given, is done on each. Without a thread (the system refused one) each block is
    // read when it is asked for.
    ReadAhead(InputFile& source, std::int64_t count, std::size_t blockBytes, std::size_t roomBefore,
              int blocks, BlockWork* work = nullptr);
    // Stops reading; a read under way is finished first.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next block; waits for it. Past the last block, an empty one.
    [[nodiscard]] Block Next();
    // Gives a block's memory back for reading further.
    void Release(Block block);

  private:
    // Reads the next block into `memory`; false once nothing is left to read.
    bool ReadInto(std::vector<std::uint8_t>& memory, Block& block);
    void ReadAll();

    InputFile& source_;
    BlockWork* work_;
    std::int64_t count_;
    std::int64_t left_;
    std::size_t blockBytes_;
    std::size_t roomBefore_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::vector<std::uint8_t>> free_;
    std::vector<Block> ready_;  // oldest first
    bool stop_ = false;
    bool finished_ = false;  // everything was read, or a read failed
    std::thread thread_;
};

}  // namespace velmora
