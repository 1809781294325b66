// The frame walk: copies the source's whole frames into the target, leaving out and adding
// frames as the correction plan says.
#include "correction/frame_copy.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace velmora {

namespace {

// The test of a frame's first bytes, by stream type. DTS frames are copied without a test.
bool PassesSyncTest(FileType fileType, const std::uint8_t* frame, std::size_t frameBytes) {
    switch (fileType) {
        case FileType::MpegAudio:
            return frameBytes >= 1 && frame[0] == 0xFF;
        case FileType::Dts:
            return true;
        case FileType::Ac3:
        default:
            // Any other type code is treated as AC-3, as the file names are.
            return frameBytes >= 2 && frame[0] == 0x0B && frame[1] == 0x77;
    }
}

// Source and target are moved in blocks of whole frames of about this size. Measured on a
// 600 MB stream: smaller blocks pay more per call, larger ones lose the processor's cache, and
// both are slower than a plain file copy by more than this size is.
constexpr std::int64_t kBlockBytes = std::int64_t{512} << 10;

// The target side of the copy: writes runs of whole frames and counts them.
class FrameSink {
  public:
    FrameSink(OutputFile& target, std::size_t frameBytes, std::int64_t blockFrames)
        : target_(target), frameBytes_(frameBytes), blockFrames_(blockFrames) {}

    [[nodiscard]] bool WriteFrames(const std::uint8_t* frames, std::int64_t count) {
        if (count <= 0) {
            return true;
        }
        if (!target_.Write(frames, static_cast<std::size_t>(count) * frameBytes_)) {
            return false;
        }
        framesWritten_ += count;
        return true;
    }

    // `count` copies of one frame, gathered into blocks so that the disk sees large writes.
    [[nodiscard]] bool WriteCopies(const std::uint8_t* frame, std::int64_t count) {
        if (count <= 0) {
            return true;
        }
        const std::int64_t perBlock = std::min(count, blockFrames_);
        copies_.resize(static_cast<std::size_t>(perBlock) * frameBytes_);
        for (std::int64_t n = 0; n < perBlock; ++n) {
            std::copy(frame, frame + frameBytes_,
                      copies_.begin() + static_cast<std::ptrdiff_t>(n * frameBytes_));
        }
        for (std::int64_t left = count; left > 0; left -= perBlock) {
            if (!WriteFrames(copies_.data(), std::min(left, perBlock))) {
                return false;
            }
        }
        return true;
    }

    [[nodiscard]] std::int64_t FramesWritten() const { return framesWritten_; }

  private:
    OutputFile& target_;
    std::size_t frameBytes_;
    std::int64_t blockFrames_;
    std::int64_t framesWritten_ = 0;
    std::vector<std::uint8_t> copies_;
};

}  // namespace

// The source is read a block of whole frames at a time and each block's frames are tested and
// written in order, so the target holds exactly what a frame-by-frame copy would: a frame is
// written only after its test passed, and after a damaged frame exactly the frames before it
// are in the target.
CopyState CopyFrames(InputFile& source, OutputFile& target, std::int64_t sourceLength,
                     const CorrectionPlan& plan, const StreamInfo& info, FileType fileType,
                     WriteObserver& observer) {
    CopyState state;
    const std::int64_t frameLength = info.FrameLength;
    const auto frameBytes = static_cast<std::size_t>(frameLength);
    const std::int64_t blockFrames = std::max<std::int64_t>(1, kBlockBytes / frameLength);
    // A silent frame is only usable when it holds a whole frame.
    const bool useSilentFrame = info.SilentFrameLoaded && info.SilentFrame.size() >= frameBytes;

    const std::int64_t wholeFrames = sourceLength / frameLength;
    const std::int64_t copyEnd = wholeFrames - std::max<std::int64_t>(plan.cutEndFrames, 0);
    observer.SetProgressMaximum(std::max<std::int64_t>(copyEnd, 0) * frameLength);

    FrameSink sink(target, frameBytes, blockFrames);
    // The frame last read from the source; zeros until one is read.
    std::vector<std::uint8_t> frameBuffer(frameBytes, 0);
    std::vector<std::uint8_t> block;
    bool startInsertionPending = plan.addStartFrames > 0;
    bool writingShown = false;
    auto finish = [&](CopyEnd end) {
        state.end = end;
        state.framesWritten = sink.FramesWritten();
        return state;
    };

    for (std::int64_t first = 0; first < copyEnd;) {
        const std::int64_t wanted = std::min(blockFrames, copyEnd - first);
        block.resize(static_cast<std::size_t>(wanted) * frameBytes);
        const std::size_t got = source.Read(block.data(), block.size());
        // Whole frames that did arrive are handled as usual before a short read counts.
        const auto arrived = static_cast<std::int64_t>(got / frameBytes);
        // Start of the run of frames in this block that go to the target unchanged.
        std::int64_t runBegin = -1;
        for (std::int64_t k = 0; k < arrived; ++k) {
            const std::int64_t i = first + k;
            const std::uint8_t* frame = block.data() + static_cast<std::size_t>(k) * frameBytes;
            observer.SetProgressValue(i * frameLength);
            if (!PassesSyncTest(fileType, frame, frameBytes)) {
                const bool written =
                    runBegin < 0 ||
                    sink.WriteFrames(block.data() + runBegin * frameLength, k - runBegin);
                return finish(written ? CopyEnd::Damaged : CopyEnd::WriteFailed);
            }
            if (startInsertionPending) {
                // Only ever at frame 0, so no run is waiting yet.
                startInsertionPending = false;
                if (useSilentFrame) {
                    state.unitWord = "silent frame";
                }
                observer.ShowStatus("Adding " + std::to_string(plan.addStartFrames) + " " +
                                    state.unitWord + "s.");
                if (!sink.WriteCopies(useSilentFrame ? info.SilentFrame.data() : frame,
                                      plan.addStartFrames)) {
                    return finish(CopyEnd::WriteFailed);
                }
            }
            if (i >= plan.cutStartFrames) {
                if (!writingShown) {
                    writingShown = true;
                    observer.ShowStatus("Writing...");
                }
                if (runBegin < 0) {
                    runBegin = k;
                }
            }
        }
        if (runBegin >= 0 &&
            !sink.WriteFrames(block.data() + runBegin * frameLength, arrived - runBegin)) {
            return finish(CopyEnd::WriteFailed);
        }
        if (arrived < wanted) {
            return finish(CopyEnd::ReadFailed);
        }
        std::copy(block.end() - static_cast<std::ptrdiff_t>(frameBytes), block.end(),
                  frameBuffer.begin());
        first += wanted;
    }

    // Frames added at the end repeat the last frame read (zeros when none was read); the
    // silent frame belongs to the start only.
    if (plan.addEndFrames > 0) {
        observer.ShowStatus("Adding " + std::to_string(plan.addEndFrames) + " frames at end.");
        if (!sink.WriteCopies(frameBuffer.data(), plan.addEndFrames)) {
            return finish(CopyEnd::WriteFailed);
        }
    }
    return finish(CopyEnd::Done);
}

}  // namespace velmora
