// What the chunks of a WAVE source say, for its report and its correction.
#include "analysis/format_analysis.h"
#include "analysis/stream_timing.h"
#include "formats/wav_file.h"
#include "report/wav_lines.h"

namespace velmora {

std::string AnalyseWav(SourceReader& source, StreamInfo& info) {
    const WavLayout layout = ReadWavLayout(
        [&source](std::int64_t offset, std::size_t count) { return source.Read(offset, count); },
        source.Length());
    info.SampleUnits = true;
    if (!layout.fault.empty()) {
        info.Unusable = layout.fault;
        return layout.form.empty() ? "No WAVE information, or header corrupt.\r\n" : "";
    }
    // One unit is one sample of every channel: delays become samples.
    info.FrameLength = layout.format.blockAlign;
    SetTiming(info, layout.format.samplingRate, 1);
    info.AudioStart = layout.dataStart;
    info.AudioEnd = layout.dataStart + layout.dataBytes;
    info.EstimatedFrames = layout.dataBytes / layout.format.blockAlign;
    info.FrameCountExact = true;
    return WavReport(layout);
}

}  // namespace velmora
