// Reads a source's frames one by one, each tested against its format and the stream's first
// frame, from blocks read ahead on another thread.
#include "correction/frame_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "formats/byte_order.h"

namespace velmora {

namespace {

// The source is read in blocks of this size, the next ones while the walk writes the
// current one. Measured on 600 MB streams, 256 KiB to 512 KiB blocks and 2 to 4 of them
// copy equally fast; the fewest pages make the shortest start, and fresh pages are dear
// on virtual machines.
constexpr std::size_t kBlockBytes = std::size_t{256} << 10;
constexpr int kBlocks = 3;
// At least this much of the source is in the buffer before a frame is looked at, so that a
// frame of any format (a DTS core frame has at most 16 KiB) and the start of the next are
// whole in it. A longer unit (a DTS-HD extension may be up to 1 MiB) makes the walk read
// further once.
constexpr std::size_t kLookahead = std::size_t{64} << 10;
constexpr std::int64_t kLongestUnit = std::int64_t{2} << 20;
// Room before each block for what is left of the one before: the look-ahead and the last
// frame, kept for the copies at the end.
constexpr std::size_t kRoomBefore = kLookahead + (std::size_t{16} << 10);

}  // namespace

FrameReader::FrameReader(InputFile& source, std::int64_t audioBytes, FileType fileType,
                         std::int32_t firstFrameLength, bool byteSwapped,
                         WriteObserver& observer, FrameHolder& holder)
    : observer_(observer),
      holder_(holder),
      facts_(fileType),
      crcHolds_(FormatOf(fileType).crcHolds),
      firstFrameLength_(firstFrameLength),
      byteSwapped_(byteSwapped),
      wanted_(kLookahead),
      toRead_(audioBytes) {
    reader_.emplace(source, audioBytes, kBlockBytes, kRoomBefore, kBlocks);
    observer_.SetProgressMaximum(audioBytes);
}

ReadEnd FrameReader::Next(ReadFrame& frame) {
    for (;;) {
        if (const auto ended = Refill()) {
            return *ended;
        }
        const std::size_t available = end_ - begin_;
        if (available == 0) {
            return ReadEnd::End;
        }
        const std::uint8_t* at = Bytes() + begin_;
        observer_.SetProgressValue(walked_);
        Prefetch();
        const FrameFacts facts = facts_.Read(std::span(at, available));
        if (first_) {
            streamKey_ = facts.streamKey;
        }
        const bool fits = facts.length > 0 && static_cast<std::size_t>(facts.length) <= available;
        const bool belongs = facts.syncOk && facts.length > 0 && facts.streamKey == streamKey_ &&
                             facts.samplingRate > 0;
        if (belongs && !fits && toRead_ > 0 && facts.length <= kLongestUnit &&
            static_cast<std::size_t>(facts.length) > wanted_) {
            wanted_ = static_cast<std::size_t>(facts.length);
            continue;
        }
        if (!belongs || !fits) {
            // At the end of the stream a piece shorter than a frame is no damage: the last
            // frame was cut short (a partial header counts as such a piece).
            const bool tail =
                toRead_ == 0 &&
                (belongs ? !fits : available < static_cast<std::size_t>(firstFrameLength_));
            return tail ? ReadEnd::ShortTail : ReadEnd::Damaged;
        }
        const auto length = static_cast<std::size_t>(facts.length);
        const std::span<const std::uint8_t> bytes(at, length);
        frame = {bytes, facts, crcHolds_ == nullptr || crcHolds_(bytes)};
        lastFrame_ = begin_;
        lastFrameLength_ = length;
        begin_ += length;
        walked_ += facts.length;
        first_ = false;
        return ReadEnd::Frame;
    }
}

std::span<const std::uint8_t> FrameReader::LastFrame() const {
    return std::span(Bytes() + lastFrame_, lastFrameLength_);
}

// The block was read on the other thread, so its bytes are not in this processor's cache
// yet. Each header's position depends on the header before it, so without asking for the
// bytes ahead, every frame would wait for its memory in turn.
void FrameReader::Prefetch() {
    constexpr std::size_t kDistance = 4096;
    constexpr std::size_t kCacheLine = 64;
    const std::size_t until = std::min(end_, begin_ + kDistance);
    prefetched_ = std::max(prefetched_, begin_);
    for (; prefetched_ < until; prefetched_ += kCacheLine) {
        __builtin_prefetch(Bytes() + prefetched_);
    }
}

// Keeps at least `wanted_` bytes (or the rest of the frames) ahead of the walk.
std::optional<ReadEnd> FrameReader::Refill() {
    while (end_ - begin_ < wanted_ && toRead_ > 0) {
        // Once per block, not per frame: the window sees a click on Cancel during the copy.
        observer_.ProcessPendingEvents();
        if (observer_.CancelRequested()) {
            return ReadEnd::Cancelled;
        }
        if (!holder_.BeforeBytesMove()) {
            return ReadEnd::HolderFailed;
        }
        ReadAhead::Block next = reader_->Next();
        if (next.failed || next.size == 0) {
            return ReadEnd::ReadFailed;
        }
        Join(std::move(next));
    }
    return std::nullopt;
}

void FrameReader::Join(ReadAhead::Block next) {
    if (byteSwapped_) {
        // Every block but the last holds whole words, so words never straddle two blocks.
        SwapWords(std::span(next.bytes.data() + next.start, next.size));
    }
    const std::size_t keep = lastFrameLength_ > 0 ? lastFrame_ : begin_;
    const std::size_t carry = end_ - keep;
    std::size_t start = next.start - std::min(carry, next.start);
    if (carry > next.start) {
        // A unit longer than the room (a long DTS-HD extension): join the two.
        std::vector<std::uint8_t> joined(carry + next.size);
        std::memcpy(joined.data() + carry, next.bytes.data() + next.start, next.size);
        next.bytes.swap(joined);
        start = 0;
    }
    if (carry > 0) {
        std::memcpy(next.bytes.data() + start, Bytes() + keep, carry);
    }
    begin_ = begin_ - keep + start;
    prefetched_ = begin_;
    lastFrame_ = lastFrame_ - std::min(lastFrame_, keep) + start;
    end_ = start + carry + next.size;
    toRead_ -= static_cast<std::int64_t>(next.size);
    reader_->Release(std::move(window_));
    window_ = std::move(next);
}

}  // namespace velmora
