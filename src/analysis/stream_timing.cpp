// What the first frame and the file's length tell of a stream's timing and frame count.
#include "analysis/stream_timing.h"

#include "common/number_text.h"
#include "report/report_text.h"

namespace velmora {

void SetTiming(StreamInfo& info, std::int32_t samplingRate, std::int32_t samplesPerFrame) {
    info.SamplingRate = samplingRate;
    info.SamplesPerFrame = samplesPerFrame;
    if (samplingRate > 0 && samplesPerFrame > 0) {
        info.FramesPerSecond =
            static_cast<float>(static_cast<long double>(samplingRate) / samplesPerFrame);
    } else {
        info.FrameLength = 0;
        info.FramesPerSecond = 0.0f;
    }
}

FrameSizes ConstantSize(std::int32_t frameLength) {
    return FrameSizes{static_cast<long double>(frameLength), frameLength, frameLength};
}

void CountFrames(std::int64_t fileLength, const FrameSizes& sizes, StreamInfo& info) {
    info.EstimatedFrames = RoundToInt64(static_cast<long double>(fileLength) / sizes.average);
    info.FrameCountExact = sizes.shortest == sizes.longest;
}

bool LengthFits(std::int64_t fileLength, const FrameSizes& sizes, std::int64_t frames) {
    const std::int64_t beyondShortest = fileLength - frames * sizes.shortest;
    // Each longer frame adds the same step (a 16-bit word at 44.1 kHz AC-3), so a length
    // between the bounds that no mix of the two sizes reaches is still no whole stream.
    const std::int64_t step = sizes.longest - sizes.shortest;
    return beyondShortest >= 0 && fileLength <= frames * sizes.longest &&
           (step == 0 || beyondShortest % step == 0);
}

std::string CountedLengthLines(std::int64_t fileLength, const FrameSizes& sizes,
                               StreamInfo& info) {
    CountFrames(fileLength, sizes, info);
    return LengthLines(info.EstimatedFrames, info.FramesPerSecond,
                       LengthFits(fileLength, sizes, info.EstimatedFrames));
}

}  // namespace velmora
