// Reads a source's frames one by one, each tested against its format and the stream's first
// frame, from blocks read ahead on another thread.
#include "correction/frame_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>


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

FrameReader::FrameReader(InputFile& source, std::int64_t audioBytes, const Options& options,
                         WriteObserver& observer, FrameHolder& holder)
    : observer_(observer),
      holder_(holder),
      facts_(options.fileType),
      crcHolds_(FormatOf(options.fileType).crcHolds),
      options_(options),
      precheck_(options.fileType, options.byteSwapped),
      wanted_(kLookahead),
      toRead_(audioBytes) {
    reader_.emplace(source, audioBytes, kBlockBytes, kRoomBefore, kBlocks, &precheck_);
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
        observer_.SetProgressValue(walked_);
        Prefetch();
        const FrameFacts facts = FactsAt(begin_);
        if (!keyKnown_) {
            // The first unit's, even when a repair takes its place.
            streamKey_ = facts.streamKey;
            keyKnown_ = true;
        }
        const bool fits = facts.length > 0 && static_cast<std::size_t>(facts.length) <= available;
        const bool belongs = Belongs(facts);
        if (belongs && !fits && toRead_ > 0 && facts.length <= kLongestUnit &&
            static_cast<std::size_t>(facts.length) > wanted_) {
            wanted_ = static_cast<std::size_t>(facts.length);
            continue;
        }
        if (belongs && fits) {
            const std::span<const std::uint8_t> bytes(Bytes() + begin_,
                                                      static_cast<std::size_t>(facts.length));
            const bool crcHolds = CrcHolds(bytes);
            if (options_.repair) {
                if (const auto repaired = RepairUnit(frame, facts, crcHolds)) {
                    return *repaired;
                }
            }
            return Take(frame, facts, crcHolds);
        }
        // At the end of the stream a piece shorter than a frame is no damage: the last frame
        // was cut short (a partial header counts as such a piece). Before a tag, a repair
        // keeps the time it stood for.
        const bool tail = toRead_ == 0 && (belongs ? !fits
                                                   : available < static_cast<std::size_t>(
                                                                     options_.firstFrameLength));
        if (tail && !(options_.repair && options_.tagFollows)) {
            return ReadEnd::ShortTail;
        }
        if (!options_.repair) {
            return ReadEnd::Damaged;
        }
        if (const auto repaired = RepairHere(frame)) {
            return *repaired;
        }
        return SkipJunk(frame);
    }
}

bool FrameReader::CrcHolds(std::span<const std::uint8_t> unit) {
    if (crcHolds_ == nullptr) {
        return true;
    }
    while (!checked_.empty() && checked_.front().start < walked_) {
        checked_.pop_front();
    }
    if (!checked_.empty() && checked_.front().start == walked_ &&
        checked_.front().length == static_cast<std::int64_t>(unit.size())) {
        const bool holds = checked_.front().crcHolds;
        checked_.pop_front();
        return holds;
    }
    return crcHolds_(unit);
}

bool FrameReader::Belongs(const FrameFacts& facts) const {
    return facts.syncOk && facts.length > 0 && facts.streamKey == streamKey_ &&
           facts.samplingRate > 0;
}

ReadEnd FrameReader::Take(ReadFrame& frame, const FrameFacts& facts, bool crcHolds) {
    const auto length = static_cast<std::size_t>(facts.length);
    frame = {std::span(Bytes() + begin_, length), facts, crcHolds, {}};
    if (!first_ && facts.rateCode != lastFacts_.rateCode) {
        variableRate_ = true;
    }
    extended_ = extended_ || facts.extensionBytes > 0;
    if (!(extensionLost_ && facts.extensionBytes == 0)) {
        lastFacts_ = facts;  // a core without its extension says nothing of the mean
    }
    lastFrame_ = begin_;
    lastFrameLength_ = length;
    lastFrameApart_.clear();
    begin_ += length;
    walked_ += facts.length;
    first_ = false;
    return ReadEnd::Frame;
}

bool FrameReader::Confirmed(std::size_t at) {
    for (int n = 0; n < 4; ++n) {
        if (at >= end_) {
            return n > 0;  // the end, or as far as the bytes read go
        }
        const FrameFacts facts = FactsAt(at);
        if (!Belongs(facts)) {
            return false;
        }
        at += static_cast<std::size_t>(facts.length);
        if (at > end_) {
            return n > 0 && toRead_ > 0;
        }
    }
    return true;
}

std::size_t FrameReader::NextConfirmed(std::size_t from, std::size_t until) {
    for (std::size_t at = from; at < until; ++at) {
        if (Confirmed(at)) {
            return at;
        }
    }
    return until;
}

std::optional<ReadEnd> FrameReader::RepairUnit(ReadFrame& frame, const FrameFacts& facts,
                                               bool crcHolds) {
    const std::size_t next = begin_ + static_cast<std::size_t>(facts.length);
    const bool nextStands = next >= end_ || Belongs(FactsAt(next));
    if (crcHolds && nextStands) {
        return std::nullopt;
    }
    // A unit inside which a confirmed one starts was cut short: it is junk.
    const std::size_t inside = NextConfirmed(begin_ + 1, next);
    if (inside < next) {
        KeepLastFrameApart();
        const std::int64_t at = walked_;
        const auto bytes = static_cast<std::int64_t>(inside - begin_);
        begin_ = inside;
        return Repaired(frame, {Repair::Kind::Junk, at, bytes}, first_ ? facts : lastFacts_);
    }
    // A unit of a stream with extensions, whose own is missing while something that is no
    // unit follows: its extension is damaged.
    const bool lostExtension = extended_ && facts.extensionBytes == 0 && !nextStands && crcHolds;
    if (lostExtension && options_.fileType == FileType::Dts) {
        extensionLost_ = true;
        return std::nullopt;  // the core is sound: it goes out, the rest is left behind
    }
    if (!crcHolds && options_.fileType == FileType::Dts && facts.extensionBytes > 0) {
        // Only extension substream headers carry a CRC: the core goes out alone.
        FrameFacts core = facts;
        core.length -= core.extensionBytes;
        core.extensionBytes = 0;
        extensionLost_ = true;
        return Take(frame, core, true);
    }
    if (!crcHolds || lostExtension) {
        return RepairedWhole(
            frame, lostExtension ? Repair::Kind::LostDependent : Repair::Kind::CrcError, facts);
    }
    return std::nullopt;  // sound; what follows it is looked at next
}

std::optional<ReadEnd> FrameReader::RepairHere(ReadFrame& frame) {
    if (first_) {
        return std::nullopt;
    }
    // A destroyed sync word: with the last unit's first bytes in its place, the header may
    // give a whole unit that the next ones follow.
    const std::size_t syncBytes = FormatOf(options_.fileType).syncBytes;
    const std::size_t available = end_ - begin_;
    if (available < syncBytes) {
        return std::nullopt;
    }
    const std::span<const std::uint8_t> last = LastFrame();
    if (last.size() < syncBytes) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> mended(Bytes() + begin_,
                                     Bytes() + begin_ + std::min(available, kLookahead));
    std::copy_n(last.begin(), syncBytes, mended.begin());
    const FrameFacts facts = facts_.Read(mended);
    if (!Belongs(facts) || static_cast<std::size_t>(facts.length) > available) {
        return std::nullopt;
    }
    const std::size_t next = begin_ + static_cast<std::size_t>(facts.length);
    if (!(next == end_ && toRead_ == 0) && !Confirmed(next)) {
        return std::nullopt;
    }
    return RepairedWhole(frame, Repair::Kind::LostHeader, facts);
}

ReadEnd FrameReader::SkipJunk(ReadFrame& frame) {
    KeepLastFrameApart();
    const std::int64_t at = walked_;
    std::int64_t skipped = 0;
    std::size_t from = begin_ + 1;
    for (;;) {
        // A candidate needs the look-ahead after it to be confirmed, unless all is read.
        const std::size_t until = toRead_ > 0 ? end_ - std::min(end_, wanted_) : end_;
        const std::size_t found = from < until ? NextConfirmed(from, until) : until;
        if (found < until || toRead_ == 0) {
            skipped += static_cast<std::int64_t>(found - begin_);
            begin_ = found;
            break;
        }
        // Nothing yet: the bytes searched go, and a block more is read.
        const std::size_t searched = std::max(from, until);
        skipped += static_cast<std::int64_t>(searched - begin_);
        begin_ = searched;
        const std::size_t wanted = wanted_;
        wanted_ = end_ - begin_ + 1;
        const auto ended = Refill();
        wanted_ = wanted;
        if (ended) {
            return *ended;
        }
        from = begin_;  // the bytes may have moved
    }
    if (begin_ == end_ && toRead_ == 0 && !options_.tagFollows) {
        walked_ += skipped;
        return ReadEnd::ShortTail;  // a damaged last frame at the very end
    }
    return Repaired(frame, {Repair::Kind::Junk, at, skipped}, lastFacts_);
}

ReadEnd FrameReader::Repaired(ReadFrame& frame, Repair repair, const FrameFacts& facts) {
    walked_ += repair.bytes;
    if (repair.kind == Repair::Kind::Junk && extensionLost_ &&
        repair.bytes <= 2 * lastFacts_.extensionBytes) {
        // What follows a core whose extension is damaged: that extension, no time of its own.
        repair.kind = Repair::Kind::LostExtension;
    } else if (repair.kind == Repair::Kind::Junk) {
        // The time the bytes stood for, in a stream of one rate; a stream whose rate varies
        // cannot know it. Before any sound unit, the cut-short one's own header gives the rate.
        const double mean = lastFacts_.meanLength > 0.0 ? lastFacts_.meanLength : facts.meanLength;
        if (variableRate_ || mean <= 0.0) {
            repair.timeUnknown = true;
        } else {
            repair.units = static_cast<std::int64_t>(
                std::nearbyint(static_cast<double>(repair.bytes) / mean));
        }
    }
    extensionLost_ = false;
    frame = {{}, facts, false, repair};
    return ReadEnd::Repaired;
}

ReadEnd FrameReader::RepairedWhole(ReadFrame& frame, Repair::Kind kind, const FrameFacts& facts) {
    const std::size_t unit = begin_;
    begin_ += static_cast<std::size_t>(facts.length);
    Repaired(frame, {kind, walked_, facts.length, 1}, facts);
    frame.bytes = std::span(Bytes() + unit, static_cast<std::size_t>(facts.length));
    return ReadEnd::Repaired;
}

void FrameReader::KeepLastFrameApart() {
    if (lastFrameLength_ > 0) {
        lastFrameApart_.assign(Bytes() + lastFrame_, Bytes() + lastFrame_ + lastFrameLength_);
        lastFrameLength_ = 0;
    }
}

std::span<const std::uint8_t> FrameReader::LastFrame() const {
    if (lastFrameLength_ == 0) {
        return lastFrameApart_;
    }
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
    // The reading thread has swapped a byte-swapped source's words already.
    checked_.insert(checked_.end(), next.checked.begin(), next.checked.end());
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
