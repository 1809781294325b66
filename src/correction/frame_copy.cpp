// The frame walk: copies the source's whole frames into the target, leaving out and adding
// frames as the correction plan says.
#include "correction/frame_copy.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "correction/frame_reader.h"
#include "correction/layer3_reservoir.h"
#include "formats/byte_order.h"
#include "formats/format_table.h"
#include "formats/frame_facts.h"
#include "formats/mpeg_audio_frame.h"
#include "formats/mpeg_info_frame.h"
#include "report/report_text.h"
#include "report/target_lines.h"
#include "silence/silent_frames.h"

namespace velmora {

namespace {

// Copies and silence go to the target in blocks of about this size: large writes.
constexpr std::size_t kWriteBytes = std::size_t{256} << 10;

// The target side: writes bytes and counts them, so that frame positions in the target are
// known without asking the file.
class TargetStream {
  public:
    TargetStream(OutputFile& target, bool byteSwapped)
        : target_(target), byteSwapped_(byteSwapped) {}

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

    // Frames, which go out in the source's byte order; Write() is for the tags around them.
    [[nodiscard]] bool WriteFrames(const std::uint8_t* data, std::size_t count) {
        if (!byteSwapped_) {
            return Write(data, count);
        }
        swapped_.resize(std::min(count, kWriteBytes));
        for (std::size_t done = 0; done < count;) {
            const std::size_t chunk = std::min(count - done, swapped_.size()) & ~std::size_t{1};
            if (chunk == 0) {
                return Write(data + done, count - done);  // a lone byte cannot be swapped
            }
            std::copy_n(data + done, chunk, swapped_.data());
            SwapWords(std::span(swapped_.data(), chunk));
            if (!Write(swapped_.data(), chunk)) {
                return false;
            }
            done += chunk;
        }
        return true;
    }

    // `count` copies of one frame, gathered into blocks so that the disk sees large writes.
    [[nodiscard]] bool WriteCopies(const std::uint8_t* frame, std::size_t frameBytes,
                                   std::int64_t count) {
        if (count <= 0 || frameBytes == 0) {
            return true;
        }
        const std::int64_t perBlock =
            std::min<std::int64_t>(count, std::max<std::size_t>(1, kWriteBytes / frameBytes));
        std::vector<std::uint8_t> copies(static_cast<std::size_t>(perBlock) * frameBytes);
        for (std::int64_t n = 0; n < perBlock; ++n) {
            std::memcpy(copies.data() + static_cast<std::size_t>(n) * frameBytes, frame,
                        frameBytes);
        }
        for (std::int64_t left = count; left > 0; left -= perBlock) {
            const auto frames = static_cast<std::size_t>(std::min(left, perBlock));
            if (!WriteFrames(copies.data(), frames * frameBytes)) {
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
    bool byteSwapped_;
    std::vector<std::uint8_t> swapped_;
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

// Silent units one after another; where the stream mixes two sizes (44.1 kHz AC-3, MPEG
// padding), they are mixed the same way, so that the silence keeps the stream's byte rate.
class SilenceMix {
  public:
    explicit SilenceMix(const StreamInfo& silence) : silence_(silence) {}

    [[nodiscard]] const std::vector<std::uint8_t>& Next() {
        const std::vector<std::uint8_t>& shorter = silence_.SilentFrame;
        const std::vector<std::uint8_t>& longer = silence_.SilentFrameLong;
        ++units_;
        const auto due =
            std::llround(static_cast<double>(units_) * silence_.SilentFrameAverage);
        const bool useLonger =
            !longer.empty() && bytes_ + static_cast<std::int64_t>(shorter.size()) < due;
        const std::vector<std::uint8_t>& unit = useLonger ? longer : shorter;
        bytes_ += static_cast<std::int64_t>(unit.size());
        return unit;
    }

  private:
    const StreamInfo& silence_;
    std::int64_t units_ = 0;
    std::int64_t bytes_ = 0;
};

// The edit over the frames between the tags: cuts and adds as the plan says, and writes the
// frames it keeps in runs straight from the reader's bytes.
class FrameEdit : public FrameHolder {
  public:
    // `repairSilence` holds the silent units that replace damaged ones (none loaded: copies
    // of the unit before them); `framesStart` is where the frames begin in the source.
    FrameEdit(TargetStream& target, const CorrectionPlan& plan, const StreamInfo& info,
              const StreamInfo& repairSilence, std::int64_t framesStart, bool layer3,
              WriteObserver& observer)
        : target_(target), plan_(plan), info_(info), repairSilence_(repairSilence),
          framesStart_(framesStart), observer_(observer), recent_(plan.cutEndFrames),
          repairMix_(repairSilence), reservoir_(layer3) {}

    // Walks the frames the reader yields; the state tells how it ended. The source is read
    // up to their end when the walk finished.
    void Run(FrameReader& reader, CopyState& state) {
        state.end = Walk(reader, state);
        const auto unsaid = state.crcErrors - static_cast<std::int64_t>(state.damageLines.size());
        if (state.repairs > 0) {
            observer_.Notice(RepairSummaryLine(state));
        } else if (unsaid > 0) {
            observer_.Notice(MoreCrcErrorsLine(unsaid));
        }
        if (state.end == CopyEnd::Damaged) {
            state.damagedAt = reader.Walked();
        }
        reader.Stop();
    }

    // Copies of the last frame read, added at the end; the silent frame belongs to the
    // start only.
    [[nodiscard]] static bool AddAtEnd(TargetStream& target, const FrameReader& reader,
                                       std::int64_t count) {
        const std::span<const std::uint8_t> last = reader.LastFrame();
        return target.WriteCopies(last.data(), last.size(), count);
    }

    [[nodiscard]] const RecentFrames& Recent() const { return recent_; }

    bool BeforeBytesMove() override { return Flush(); }

  private:
    CopyEnd Walk(FrameReader& reader, CopyState& state) {
        ReadFrame frame;
        for (;;) {
            const ReadEnd read = reader.Next(frame);
            if (read == ReadEnd::Repaired) {
                if (!TakeRepair(frame, reader, state)) {
                    return CopyEnd::WriteFailed;
                }
                continue;
            }
            if (read != ReadEnd::Frame) {
                // The frames kept before the end, or before a damaged piece, go out first;
                // a stop for any other reason leaves the target to be thrown away.
                const bool stopped = read != ReadEnd::End && read != ReadEnd::ShortTail &&
                                     read != ReadEnd::Damaged;
                if (!stopped && !Flush()) {
                    return CopyEnd::WriteFailed;
                }
                state.shortLastFrame = read == ReadEnd::ShortTail;
                return Ended(read);
            }
            if (!frame.crcHolds) {
                NoteCrcError(frame.facts, state);
            }
            const std::vector<std::uint8_t>* emptied = reservoir_.Pass(frame.bytes);
            if (!(emptied != nullptr ? TakeFrame(*emptied, state, false)
                                     : TakeFrame(frame.bytes, state))) {
                return CopyEnd::WriteFailed;
            }
            ++state.sourceFrames;
            state.sourceSamples += frame.facts.samples;
            state.sourceBytes += static_cast<std::int64_t>(frame.bytes.size());
        }
    }

    // A frame whose only fault is its CRC goes to the target as it is, but not unsaid.
    void NoteCrcError(const FrameFacts& facts, CopyState& state) {
        ++state.crcErrors;
        if (state.damageLines.size() >= kMostDamageLines) {
            return;
        }
        const std::string line = CrcErrorLine(state.sourceFrames + 1, TimeHere(facts, state));
        state.damageLines.push_back(line);
        observer_.Notice(line);
    }

    static std::string TimeHere(const FrameFacts& facts, const CopyState& state) {
        return FramesToTime(state.sourceSamples, static_cast<float>(facts.samplingRate));
    }

    // Damaged bytes the reader left behind: said in the report (the summary goes to the
    // user at the end), and silent units in their place that count as the stream's own, so
    // that the plan's cuts and additions apply to the repaired stream.
    bool TakeRepair(const ReadFrame& frame, const FrameReader& reader, CopyState& state) {
        const Repair& repair = frame.repair;
        const bool copies = !repairSilence_.SilentFrameLoaded || repairSilence_.SilentFrame.empty();
        ++state.repairs;
        if (state.damageLines.size() < kMostDamageLines) {
            state.damageLines.push_back(RepairLine(repair, state.sourceFrames + 1,
                                                   TimeHere(frame.facts, state),
                                                   framesStart_ + repair.at, copies));
        }
        state.timeLost = state.timeLost || repair.timeUnknown;
        if (repair.kind == Repair::Kind::Junk) {
            state.junkBytes += repair.bytes;
        }
        if (repair.kind == Repair::Kind::LostExtension) {
            ++state.extensionsLeftOut;
        }
        state.silentUnitsPut += repair.units;
        const std::vector<std::uint8_t> last(reader.LastFrame().begin(), reader.LastFrame().end());
        // A whole Layer III frame is emptied rather than replaced: later frames take the
        // start of their main data from its bytes.
        const std::vector<std::uint8_t>* emptied = nullptr;
        if (reservoir_.Watching() && !frame.bytes.empty()) {
            std::vector<std::uint8_t> mended(frame.bytes.begin(), frame.bytes.end());
            if (repair.kind == Repair::Kind::LostHeader) {
                std::copy_n(last.begin(), std::min(last.size(), reader.SyncBytes()),
                            mended.begin());
            }
            const std::vector<std::uint8_t>& replaced = reservoir_.Replace(mended);
            emptied = replaced.empty() ? nullptr : &replaced;
        } else if (repair.units > 0) {
            reservoir_.Lose();  // silence stands where frames' bytes were
        }
        for (std::int64_t n = 0; n < repair.units; ++n) {
            const std::vector<std::uint8_t>& unit = emptied != nullptr ? *emptied
                                                    : copies           ? last
                                                                       : repairMix_.Next();
            if (unit.empty()) {
                continue;  // nothing sound before the damage to copy
            }
            if (!TakeFrame(unit, state, false)) {
                return false;
            }
            ++state.sourceFrames;
            state.sourceSamples += frame.facts.samples;
        }
        return true;
    }

    static CopyEnd Ended(ReadEnd read) {
        switch (read) {
            case ReadEnd::End:
            case ReadEnd::ShortTail:
            case ReadEnd::Frame:
            case ReadEnd::Repaired:
                return CopyEnd::Done;
            case ReadEnd::Damaged:
                return CopyEnd::Damaged;
            case ReadEnd::ReadFailed:
                return CopyEnd::ReadFailed;
            case ReadEnd::Cancelled:
                return CopyEnd::Cancelled;
            case ReadEnd::HolderFailed:
                break;
        }
        return CopyEnd::WriteFailed;
    }

    // A frame that passed its test: the insertion at the start comes before the first one,
    // and frames past the cut at the start join the run of bytes that go to the target. A
    // unit not from the reader (a repair's silence) is written at once, after that run.
    bool TakeFrame(std::span<const std::uint8_t> frame, CopyState& state, bool fromReader = true) {
        if (state.sourceFrames == 0 && plan_.addStartFrames > 0 && !AddAtStart(frame, state)) {
            return false;
        }
        if (state.sourceFrames < plan_.cutStartFrames) {
            ++state.cutStartFrames;
            return true;
        }
        if (!writingShown_) {
            writingShown_ = true;
            observer_.ShowStatus("Writing...");
        }
        if (!fromReader) {
            // A silent unit: the run of the reader's bytes goes first.
            recent_.Add(target_.Bytes() + static_cast<std::int64_t>(run_.size()));
            ++state.framesWritten;
            return Flush() && target_.WriteFrames(frame.data(), frame.size());
        }
        if (!run_.empty() && frame.data() != run_.data() + run_.size() && !Flush()) {
            return false;  // bytes left behind by a repair lie between
        }
        if (run_.empty()) {
            run_ = frame;
        } else {
            // Frames follow each other in the reader's bytes until it moves them, and it
            // tells before it does.
            run_ = std::span(run_.data(), run_.size() + frame.size());
        }
        recent_.Add(target_.Bytes() + static_cast<std::int64_t>(run_.size() - frame.size()));
        ++state.framesWritten;
        return true;
    }

    bool AddAtStart(std::span<const std::uint8_t> frame, CopyState& state) {
        const bool silent = info_.SilentFrameLoaded && !info_.SilentFrame.empty();
        if (silent) {
            state.unitWord = "silent frame";
        } else if (info_.SilenceUnavailable) {
            state.copiesForSilence = true;
            observer_.Notice(CopiesForSilenceLine(plan_.addStartFrames));
        }
        observer_.ShowStatus("Adding " + std::to_string(plan_.addStartFrames) + " " +
                             state.unitWord + "s.");
        const bool written =
            silent ? WriteSilence(plan_.addStartFrames)
                   : target_.WriteCopies(frame.data(), frame.size(), plan_.addStartFrames);
        if (written) {
            state.addStartFrames = plan_.addStartFrames;
            state.framesWritten += plan_.addStartFrames;
        }
        return written;
    }

    // Silent frames at the start, gathered into large writes.
    bool WriteSilence(std::int64_t count) {
        if (info_.SilentFrameLong.empty()) {
            return target_.WriteCopies(info_.SilentFrame.data(), info_.SilentFrame.size(), count);
        }
        SilenceMix mix(info_);
        std::vector<std::uint8_t> block;
        for (std::int64_t n = 1; n <= count; ++n) {
            const std::vector<std::uint8_t>& frame = mix.Next();
            block.insert(block.end(), frame.begin(), frame.end());
            if (block.size() >= kWriteBytes || n == count) {
                if (!target_.WriteFrames(block.data(), block.size())) {
                    return false;
                }
                block.clear();
            }
        }
        return true;
    }

    // Writes the run of frames kept so far.
    bool Flush() {
        const std::span<const std::uint8_t> run = run_;
        run_ = {};
        return target_.WriteFrames(run.data(), run.size());
    }

    TargetStream& target_;
    const CorrectionPlan& plan_;
    const StreamInfo& info_;
    const StreamInfo& repairSilence_;
    std::int64_t framesStart_;
    WriteObserver& observer_;
    RecentFrames recent_;
    std::span<const std::uint8_t> run_;
    bool writingShown_ = false;
    SilenceMix repairMix_;
    Layer3Reservoir reservoir_;
};

// An info frame (Xing, Info, VBRI) carries no audio: it is copied first and brought up to
// date once the frames are known.
struct InfoFrame {
    std::vector<std::uint8_t> bytes;
    std::int64_t targetOffset = 0;
};

bool CopyInfoFrame(InputFile& source, TargetStream& target, InfoFrame& info, CopyEnd& failure) {
    if (source.Read(info.bytes.data(), info.bytes.size()) != info.bytes.size()) {
        failure = CopyEnd::ReadFailed;
        return false;
    }
    info.targetOffset = target.Bytes();
    if (!target.Write(info.bytes.data(), info.bytes.size())) {
        failure = CopyEnd::WriteFailed;
        return false;
    }
    return true;
}

bool UpdateInfoFrame(TargetStream& target, InfoFrame& info, const CopyState& state) {
    const MpegAudioHeader header = DecodeMpegAudioHeader(info.bytes);
    const auto tag = FindMpegInfoTag(info.bytes, header);
    if (!tag) {
        return true;
    }
    const MpegInfoCounts counts{
        .audioFrames = Clamp32(state.framesWritten),
        .streamBytes = Clamp32(target.Bytes() - info.targetOffset),
        .endPaddingGone = state.cutEndFrames > 0,
    };
    UpdateMpegInfoTag(info.bytes, *tag, counts);
    return target.File().WriteAt(info.targetOffset, info.bytes.data(), info.bytes.size());
}

// After a finished walk: the cut at the end (the frames it covers were written like all
// others and are now cut off again), then the frames added there.
CopyEnd FinishEnds(const FrameEdit& walk, const FrameReader& reader, TargetStream& target,
                   const CorrectionPlan& plan, WriteObserver& observer, CopyState& state) {
    if (plan.cutEndFrames > 0 && walk.Recent().Count() > 0) {
        state.cutEndFrames = walk.Recent().Count();
        state.framesWritten -= state.cutEndFrames;
        if (!target.Truncate(walk.Recent().Oldest())) {
            return CopyEnd::WriteFailed;
        }
    }
    if (state.framesWritten - state.addStartFrames <= 0) {
        return CopyEnd::NothingLeft;
    }
    if (plan.addEndFrames > 0) {
        observer.ShowStatus("Adding " + std::to_string(plan.addEndFrames) + " frames at end.");
        if (!FrameEdit::AddAtEnd(target, reader, plan.addEndFrames)) {
            return CopyEnd::WriteFailed;
        }
        state.addEndFrames = plan.addEndFrames;
        state.framesWritten += plan.addEndFrames;
    }
    return CopyEnd::Done;
}

}  // namespace

CopyState CopyFrames(InputFile& source, OutputFile& targetFile, std::int64_t sourceLength,
                     const CorrectionPlan& plan, const StreamInfo& info, FileType fileType,
                     bool repair, WriteObserver& observer) {
    CopyState state;
    TargetStream target(targetFile, info.ByteSwapped);
    std::vector<std::uint8_t> scratch(std::size_t{64} << 10);
    const std::int64_t audioStart = std::clamp<std::int64_t>(info.AudioStart, 0, sourceLength);
    const std::int64_t audioEnd =
        info.AudioEnd > audioStart ? std::min(info.AudioEnd, sourceLength) : sourceLength;

    // A tag before the frames goes first, unchanged, but not the junk between it and the
    // first frame; then an info frame.
    const std::int64_t skipped = std::clamp<std::int64_t>(info.SkippedBytes, 0, audioStart);
    if (!CopyBytes(source, target, audioStart - skipped, scratch, state.end)) {
        return state;
    }
    if (skipped > 0 && !source.Seek(audioStart)) {
        state.end = CopyEnd::ReadFailed;
        return state;
    }
    InfoFrame infoFrame;
    if (info.InfoFrameLength > 0 && info.InfoFrameLength <= audioEnd - audioStart) {
        infoFrame.bytes.resize(static_cast<std::size_t>(info.InfoFrameLength));
        if (!CopyInfoFrame(source, target, infoFrame, state.end)) {
            return state;
        }
    }
    const std::int64_t framesStart =
        audioStart + static_cast<std::int64_t>(infoFrame.bytes.size());

    // A repair puts silence in whether or not the start gets silence.
    StreamInfo repairSilence;
    if (repair) {
        repairSilence = info;
        if (!repairSilence.SilentFrameLoaded) {
            LoadSilentFrame(repairSilence, fileType, 1);
        }
    }
    const bool layer3 = fileType == FileType::MpegAudio &&
                        DecodeMpegAudioHeader(info.FirstUnit).layerCode == 1;
    FrameEdit walk(target, plan, info, repairSilence, framesStart, layer3, observer);
    const FrameReader::Options options{
        .fileType = fileType,
        .firstFrameLength = info.FrameLength,
        .byteSwapped = info.ByteSwapped,
        .repair = repair,
        .tagFollows = audioEnd < sourceLength,
    };
    FrameReader reader(source, audioEnd - framesStart, options, observer, walk);
    walk.Run(reader, state);
    state.damagedAt += framesStart;
    if (FormatOf(fileType).averageRateInReport && state.sourceSamples > 0 &&
        info.SamplingRate > 0) {
        state.averageKbps = static_cast<double>(state.sourceBytes) * 8.0 * info.SamplingRate /
                            static_cast<double>(state.sourceSamples) / 1000.0;
    }
    if (state.end == CopyEnd::Done) {
        state.end = FinishEnds(walk, reader, target, plan, observer, state);
    }
    if (state.end != CopyEnd::Done && state.end != CopyEnd::Damaged) {
        return state;
    }
    if (!infoFrame.bytes.empty() && !UpdateInfoFrame(target, infoFrame, state)) {
        state.end = CopyEnd::WriteFailed;
        return state;
    }
    // Tags after the frames follow the frames added at the end, unchanged. A finished walk
    // has read the source up to them.
    if (state.end == CopyEnd::Done) {
        static_cast<void>(CopyBytes(source, target, sourceLength - audioEnd, scratch, state.end));
    }
    return state;
}

}  // namespace velmora
