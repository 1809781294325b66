// The frame walk: copies the source's whole frames into the target, leaving out and adding
// frames as the correction plan says.
#include "correction/frame_copy.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "correction/read_ahead.h"

#include "formats/format_table.h"
#include "formats/frame_facts.h"
#include "formats/mpeg_audio_frame.h"
#include "formats/mpeg_info_frame.h"

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

// The target side: writes bytes and counts them, so that frame positions in the target are
// known without asking the file.
class TargetStream {
  public:
    explicit TargetStream(OutputFile& target) : target_(target) {}

    [[nodiscard]] bool Write(const std::uint8_t* data, std::size_t count) {
        if (count == 0) {
            return true;
        }
        if (!target_.Write(data, count)) {
            return false;
        }
        bytes_ += static_cast<std::int64_t>(count);
        return true;
    }

    // `count` copies of one frame, gathered into blocks so that the disk sees large writes.
    [[nodiscard]] bool WriteCopies(const std::uint8_t* frame, std::size_t frameBytes,
                                   std::int64_t count) {
        if (count <= 0 || frameBytes == 0) {
            return true;
        }
        const std::int64_t perBlock =
            std::min<std::int64_t>(count, std::max<std::size_t>(1, kBlockBytes / frameBytes));
        std::vector<std::uint8_t> copies(static_cast<std::size_t>(perBlock) * frameBytes);
        for (std::int64_t n = 0; n < perBlock; ++n) {
            std::memcpy(copies.data() + static_cast<std::size_t>(n) * frameBytes, frame,
                        frameBytes);
        }
        for (std::int64_t left = count; left > 0; left -= perBlock) {
            const auto frames = static_cast<std::size_t>(std::min(left, perBlock));
            if (!Write(copies.data(), frames * frameBytes)) {
                return false;
            }
        }
        return true;
    }

    [[nodiscard]] bool Truncate(std::int64_t length) {
        if (!target_.Truncate(length)) {
            return false;
        }
        bytes_ = length;
        return true;
    }

    [[nodiscard]] std::int64_t Bytes() const { return bytes_; }
    [[nodiscard]] OutputFile& File() { return target_; }

  private:
    OutputFile& target_;
    std::int64_t bytes_ = 0;
};

// Target positions of the last frames written, for a cut at the end: the stream's frame
// count is only known once the walk reaches its end, so those frames are written as all
// others and cut off the target afterwards. Grows only as far as the cut needs.
class RecentFrames {
  public:
    explicit RecentFrames(std::int64_t capacity) : capacity_(std::max<std::int64_t>(capacity, 0)) {}

    void Add(std::int64_t targetOffset) {
        if (capacity_ == 0) {
            return;
        }
        if (static_cast<std::int64_t>(offsets_.size()) < capacity_) {
            offsets_.push_back(targetOffset);
            return;
        }
        offsets_[next_] = targetOffset;
        next_ = (next_ + 1) % offsets_.size();
    }

    [[nodiscard]] std::int64_t Count() const { return static_cast<std::int64_t>(offsets_.size()); }
    // The target position of the oldest frame held: where the cut begins.
    [[nodiscard]] std::int64_t Oldest() const { return offsets_[next_ % offsets_.size()]; }

  private:
    std::int64_t capacity_;
    std::vector<std::int64_t> offsets_;
    std::size_t next_ = 0;
};

// Copies `count` bytes of the source unchanged (tags around the frames).
bool CopyBytes(InputFile& source, TargetStream& target, std::int64_t count,
               std::vector<std::uint8_t>& scratch, CopyEnd& failure) {
    while (count > 0) {
        const auto chunk = static_cast<std::size_t>(
            std::min<std::int64_t>(count, static_cast<std::int64_t>(scratch.size())));
        if (source.Read(scratch.data(), chunk) != chunk) {
            failure = CopyEnd::ReadFailed;
            return false;
        }
        if (!target.Write(scratch.data(), chunk)) {
            failure = CopyEnd::WriteFailed;
            return false;
        }
        count -= static_cast<std::int64_t>(chunk);
    }
    return true;
}

std::uint32_t Clamp32(std::int64_t value) {
    return static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(value, 0, std::numeric_limits<std::uint32_t>::max()));
}

// The walk over the frames between the tags.
class FrameWalk {
  public:
    FrameWalk(InputFile& source, TargetStream& target, const CorrectionPlan& plan,
              const StreamInfo& info, FileType fileType, WriteObserver& observer)
        : source_(source),
          target_(target),
          plan_(plan),
          info_(info),
          facts_(fileType),
          observer_(observer),
          recent_(plan.cutEndFrames) {}

    // Walks `audioBytes` bytes of frames; the state tells how it ended. The source is read
    // up to their end when the walk finished.
    void Run(std::int64_t audioBytes, CopyState& state) {
        toRead_ = audioBytes;
        reader_.emplace(source_, audioBytes, kBlockBytes, kRoomBefore, kBlocks);
        Walk(state);
        reader_.reset();
    }

    // Copies of the last frame read, added at the end; the silent frame belongs to the
    // start only.
    [[nodiscard]] bool AddAtEnd(std::int64_t count) {
        return target_.WriteCopies(Bytes() + lastFrame_, lastFrameLength_, count);
    }

    [[nodiscard]] const RecentFrames& Recent() const { return recent_; }

  private:
    void Walk(CopyState& state) {
        observer_.SetProgressMaximum(toRead_);
        for (;;) {
            if (!Refill(state)) {
                return;
            }
            const std::size_t available = end_ - begin_;
            if (available == 0) {
                break;
            }
            const std::uint8_t* frame = Bytes() + begin_;
            observer_.SetProgressValue(walked_);
            Prefetch();
            const FrameFacts facts = facts_.Read(std::span(frame, available));
            if (state.sourceFrames == 0) {
                streamKey_ = facts.streamKey;
            }
            const bool fits =
                facts.length > 0 && static_cast<std::size_t>(facts.length) <= available;
            const bool belongs = facts.syncOk && facts.length > 0 &&
                                 facts.streamKey == streamKey_ && facts.samplingRate > 0;
            if (belongs && !fits && toRead_ > 0 && facts.length <= kLongestUnit &&
                static_cast<std::size_t>(facts.length) > wanted_) {
                wanted_ = static_cast<std::size_t>(facts.length);
                continue;
            }
            if (!belongs || !fits) {
                // At the end of the stream a piece shorter than a frame is no damage: the
                // last frame was cut short (a partial header counts as such a piece).
                const bool tail =
                    toRead_ == 0 &&
                    (belongs ? !fits : available < static_cast<std::size_t>(info_.FrameLength));
                if (!Flush(begin_)) {
                    state.end = CopyEnd::WriteFailed;
                    return;
                }
                if (tail) {
                    state.shortLastFrame = true;
                    break;
                }
                state.end = CopyEnd::Damaged;
                state.damagedAt = walked_;
                return;
            }
            const auto length = static_cast<std::size_t>(facts.length);
            if (!TakeFrame(frame, length, state)) {
                state.end = CopyEnd::WriteFailed;
                return;
            }
            lastFrame_ = begin_;
            lastFrameLength_ = length;
            begin_ += length;
            walked_ += static_cast<std::int64_t>(length);
            ++state.sourceFrames;
            state.sourceSamples += facts.samples;
        }
        if (!Flush(begin_)) {
            state.end = CopyEnd::WriteFailed;
        }
    }

    [[nodiscard]] const std::uint8_t* Bytes() const { return window_.bytes.data(); }

    // The block was read on the other thread, so its bytes are not in this processor's
    // cache yet. Each header's position depends on the header before it, so without asking
    // for the bytes ahead, every frame would wait for its memory in turn.
    void Prefetch() {
        constexpr std::size_t kDistance = 4096;
        constexpr std::size_t kCacheLine = 64;
        const std::size_t until = std::min(end_, begin_ + kDistance);
        prefetched_ = std::max(prefetched_, begin_);
        for (; prefetched_ < until; prefetched_ += kCacheLine) {
            __builtin_prefetch(Bytes() + prefetched_);
        }
    }

    // A frame that passed its test: the insertion at the start comes before the first one,
    // and frames past the cut at the start join the run of bytes that go to the target.
    bool TakeFrame(const std::uint8_t* frame, std::size_t length, CopyState& state) {
        const std::int64_t index = state.sourceFrames;
        if (index == 0 && plan_.addStartFrames > 0) {
            const bool silent = info_.SilentFrameLoaded && !info_.SilentFrame.empty();
            if (silent) {
                state.unitWord = "silent frame";
            }
            observer_.ShowStatus("Adding " + std::to_string(plan_.addStartFrames) + " " +
                                 state.unitWord + "s.");
            const bool written = silent ? WriteSilence(plan_.addStartFrames)
                                        : target_.WriteCopies(frame, length, plan_.addStartFrames);
            if (!written) {
                return false;
            }
            state.addStartFrames = plan_.addStartFrames;
            state.framesWritten += plan_.addStartFrames;
        }
        if (index < plan_.cutStartFrames) {
            ++state.cutStartFrames;
            return true;
        }
        if (!writingShown_) {
            writingShown_ = true;
            observer_.ShowStatus("Writing...");
        }
        if (!runOpen_) {
            runOpen_ = true;
            runBegin_ = begin_;
        }
        recent_.Add(target_.Bytes() + static_cast<std::int64_t>(begin_ - runBegin_));
        ++state.framesWritten;
        return true;
    }

    // Silent frames; where the stream mixes two frame sizes, they are mixed the same way, so
    // that the silence keeps the stream's byte rate.
    bool WriteSilence(std::int64_t count) {
        const std::vector<std::uint8_t>& shorter = info_.SilentFrame;
        const std::vector<std::uint8_t>& longer = info_.SilentFrameLong;
        if (longer.empty()) {
            return target_.WriteCopies(shorter.data(), shorter.size(), count);
        }
        std::vector<std::uint8_t> block;
        std::int64_t written = 0;
        for (std::int64_t n = 1; n <= count; ++n) {
            const auto due = static_cast<std::int64_t>(
                std::llround(static_cast<double>(n) * info_.SilentFrameAverage));
            const bool useLonger = written + static_cast<std::int64_t>(shorter.size()) < due;
            const std::vector<std::uint8_t>& frame = useLonger ? longer : shorter;
            block.insert(block.end(), frame.begin(), frame.end());
            written += static_cast<std::int64_t>(frame.size());
            if (block.size() >= kBlockBytes || n == count) {
                if (!target_.Write(block.data(), block.size())) {
                    return false;
                }
                block.clear();
            }
        }
        return true;
    }

    // Writes the run of frames waiting in the buffer up to `upTo`.
    bool Flush(std::size_t upTo) {
        if (!runOpen_) {
            return true;
        }
        runOpen_ = false;
        return target_.Write(Bytes() + runBegin_, upTo - runBegin_);
    }

    // Keeps at least kLookahead bytes (or the rest of the frames) ahead of the walk, taking
    // the next block from the reader. What is left of the current block (the last frame read,
    // kept for the copies at the end, and the bytes not yet walked) goes right in front of it.
    bool Refill(CopyState& state) {
        while (end_ - begin_ < wanted_ && toRead_ > 0) {
            // Once per block, not per frame: the window sees a click on Cancel during the copy.
            observer_.ProcessPendingEvents();
            if (observer_.CancelRequested()) {
                state.end = CopyEnd::Cancelled;
                return false;
            }
            if (!Flush(begin_)) {
                state.end = CopyEnd::WriteFailed;
                return false;
            }
            ReadAhead::Block next = reader_->Next();
            if (next.failed || next.size == 0) {
                state.end = CopyEnd::ReadFailed;
                return false;
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
        return true;
    }

    InputFile& source_;
    TargetStream& target_;
    const CorrectionPlan& plan_;
    const StreamInfo& info_;
    FrameFactsReader facts_;
    WriteObserver& observer_;
    std::optional<ReadAhead> reader_;
    ReadAhead::Block window_;  // the block being walked, with what was left of the one before
    RecentFrames recent_;
    std::size_t begin_ = 0;  // first byte not yet walked
    std::size_t prefetched_ = 0;
    std::size_t end_ = 0;  // end of the bytes read
    std::size_t runBegin_ = 0;
    bool runOpen_ = false;
    std::size_t lastFrame_ = 0;
    std::size_t lastFrameLength_ = 0;
    std::size_t wanted_ = kLookahead;  // bytes ahead of the walk before it looks at a unit
    std::int64_t toRead_ = 0;
    std::int64_t walked_ = 0;
    std::uint32_t streamKey_ = 0;
    bool writingShown_ = false;
};

}  // namespace

CopyState CopyFrames(InputFile& source, OutputFile& targetFile, std::int64_t sourceLength,
                     const CorrectionPlan& plan, const StreamInfo& info, FileType fileType,
                     WriteObserver& observer) {
    CopyState state;
    TargetStream target(targetFile);
    std::vector<std::uint8_t> scratch(std::size_t{64} << 10);
    const std::int64_t audioStart = std::clamp<std::int64_t>(info.AudioStart, 0, sourceLength);
    const std::int64_t audioEnd =
        info.AudioEnd > audioStart ? std::min(info.AudioEnd, sourceLength) : sourceLength;

    // A tag before the frames goes first, unchanged; then an info frame, which carries no
    // audio and is brought up to date once the frames are known.
    if (!CopyBytes(source, target, audioStart, scratch, state.end)) {
        return state;
    }
    std::vector<std::uint8_t> infoFrame;
    std::int64_t infoAt = 0;
    if (info.InfoFrameLength > 0 && info.InfoFrameLength <= audioEnd - audioStart) {
        infoFrame.resize(static_cast<std::size_t>(info.InfoFrameLength));
        if (source.Read(infoFrame.data(), infoFrame.size()) != infoFrame.size()) {
            state.end = CopyEnd::ReadFailed;
            return state;
        }
        infoAt = target.Bytes();
        if (!target.Write(infoFrame.data(), infoFrame.size())) {
            state.end = CopyEnd::WriteFailed;
            return state;
        }
    }
    const std::int64_t framesStart = audioStart + static_cast<std::int64_t>(infoFrame.size());

    FrameWalk walk(source, target, plan, info, fileType, observer);
    walk.Run(audioEnd - framesStart, state);
    state.damagedAt += framesStart;
    if (state.end != CopyEnd::Done && state.end != CopyEnd::Damaged) {
        return state;
    }
    if (state.end == CopyEnd::Done) {
        // The cut at the end: the frames it covers were written like all others and are now
        // cut off again.
        if (plan.cutEndFrames > 0 && walk.Recent().Count() > 0) {
            state.cutEndFrames = walk.Recent().Count();
            state.framesWritten -= state.cutEndFrames;
            if (!target.Truncate(walk.Recent().Oldest())) {
                state.end = CopyEnd::WriteFailed;
                return state;
            }
        }
        if (state.framesWritten - state.addStartFrames <= 0) {
            state.end = CopyEnd::NothingLeft;
            return state;
        }
        if (plan.addEndFrames > 0) {
            observer.ShowStatus("Adding " + std::to_string(plan.addEndFrames) + " frames at end.");
            if (!walk.AddAtEnd(plan.addEndFrames)) {
                state.end = CopyEnd::WriteFailed;
                return state;
            }
            state.addEndFrames = plan.addEndFrames;
            state.framesWritten += plan.addEndFrames;
        }
    }
    if (!infoFrame.empty()) {
        const MpegAudioHeader header = DecodeMpegAudioHeader(infoFrame);
        if (const auto tag = FindMpegInfoTag(infoFrame, header)) {
            const MpegInfoCounts counts{
                .audioFrames = Clamp32(state.framesWritten),
                .streamBytes = Clamp32(target.Bytes() - infoAt),
                .endPaddingGone = state.cutEndFrames > 0,
            };
            UpdateMpegInfoTag(infoFrame, *tag, counts);
            if (!target.File().WriteAt(infoAt, infoFrame.data(), infoFrame.size())) {
                state.end = CopyEnd::WriteFailed;
                return state;
            }
        }
    }
    // Tags after the frames follow the frames added at the end, unchanged. A finished walk
    // has read the source up to them.
    if (state.end == CopyEnd::Done) {
        static_cast<void>(CopyBytes(source, target, sourceLength - audioEnd, scratch, state.end));
    }
    return state;
}

}  // namespace velmora
