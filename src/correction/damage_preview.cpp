// The first units of a source, walked as the writer walks them.
#include "correction/damage_preview.h"

#include <algorithm>

#include "correction/frame_reader.h"
#include "report/report_text.h"
#include "report/target_lines.h"

namespace velmora {

namespace {

// Room for 64 of the longest units (DTS-HD with its extensions) and then some.
constexpr std::int64_t kMostBytesLooked = std::int64_t{8} << 20;

// The walk reports to nobody and holds no frames.
class Quiet final : public WriteObserver, public FrameHolder {
  public:
    void AppendInfo(const std::string& /*text*/) override {}
    [[nodiscard]] std::string InfoText() const override { return {}; }
    void ShowStatus(const std::string& /*text*/) override {}
    void ProcessPendingEvents() override {}
    void SetProgressMaximum(std::int64_t /*maximum*/) override {}
    void SetProgressValue(std::int64_t /*value*/) override {}
    void SetBusyPointer(bool /*busy*/) override {}
    bool BeforeBytesMove() override { return true; }
};

}  // namespace

std::string DamageNearTheStart(const std::string& sourceName, const StreamInfo& info,
                               FileType fileType, int units) {
    InputFile source;
    const std::int64_t framesStart = info.AudioStart + info.InfoFrameLength;
    const std::optional<std::int64_t> length =
        source.Open(sourceName) ? source.Length() : std::nullopt;
    // Samples have no frames to be damaged.
    if (!length || info.FrameLength <= 0 || info.SampleUnits || !source.Seek(framesStart)) {
        return {};
    }
    const std::int64_t audioEnd =
        info.AudioEnd > framesStart ? std::min(info.AudioEnd, *length) : *length;
    // A source that is junk from some point on is not searched to its end: the write will.
    const std::int64_t looked = std::min(audioEnd - framesStart, kMostBytesLooked);
    const FrameReader::Options options{
        .fileType = fileType,
        .firstFrameLength = info.FrameLength,
        .byteSwapped = info.ByteSwapped,
        .repair = true,
        .tagFollows = framesStart + looked == audioEnd && audioEnd < *length,
    };
    Quiet quiet;
    FrameReader reader(source, looked, options, quiet, quiet);
    std::string lines;
    std::int64_t frames = 0;
    std::int64_t samples = 0;
    ReadFrame frame;
    while (frames < units) {
        const ReadEnd read = reader.Next(frame);
        if (read != ReadEnd::Frame && read != ReadEnd::Repaired) {
            break;
        }
        const std::string time =
            FramesToTime(samples, static_cast<float>(frame.facts.samplingRate));
        if (read == ReadEnd::Frame) {
            if (!frame.crcHolds) {
                lines += DamageWarning(Repair{Repair::Kind::CrcError, 0, 0, 1}, frames + 1, time,
                                       framesStart + reader.Walked() - frame.facts.length);
            }
            ++frames;
            samples += frame.facts.samples;
            continue;
        }
        lines += DamageWarning(frame.repair, frames + 1, time, framesStart + frame.repair.at);
        frames += frame.repair.units;
        samples += frame.repair.units * frame.facts.samples;
    }
    return lines;
}

}  // namespace velmora
