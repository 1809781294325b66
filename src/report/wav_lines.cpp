// The report lines of a WAVE source and of what its correction did to the chunks.
#include "report/wav_lines.h"

#include "report/report_text.h"

namespace velmora {

namespace {

std::string Counted(std::int64_t count, const std::string& one, const std::string& many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string WavReport(const WavLayout& layout) {
    const WavFormat& f = layout.format;
    std::string lines = "Format: " + WavSampleText(f) + ", " +
                        Counted(f.channels, "channel", "channels") +
                        (layout.form == "RIFF" ? "" : " (" + layout.form + ")") + "\r\n";
    lines += "Sampling rate: " + KilohertzText(f.samplingRate) + " kHz\r\n";
    const std::int64_t kbps = std::int64_t{f.samplingRate} * f.blockAlign * 8 / 1000;
    lines += "Data rate: " + std::to_string(kbps) + " kbps\r\n";
    const std::int64_t samples = layout.dataBytes / f.blockAlign;
    lines += "Length: " + std::to_string(samples) + " samples (" +
             FramesToTime(samples, static_cast<float>(f.samplingRate)) + ")\r\n";
    std::string chunks;
    for (const WavChunk& chunk : layout.chunks) {
        std::string id = chunk.id;
        while (!id.empty() && id.back() == ' ') {
            id.pop_back();
        }
        chunks += (chunks.empty() ? "" : ", ") + id;
    }
    return lines + "Chunks: " + chunks + "\r\n";
}

std::string WavTargetLines(const ChunkEdits& edits, bool writtenAsRf64, bool wasRf64) {
    std::string lines;
    if (edits.cuesMoved > 0 || !edits.droppedCues.empty()) {
        lines += Counted(edits.cuesMoved, "cue point", "cue points") + " moved";
        if (!edits.droppedCues.empty()) {
            const auto dropped = static_cast<std::int64_t>(edits.droppedCues.size());
            lines += ", " + Counted(dropped, "cue point", "cue points") +
                     " outside the target dropped with " + (dropped == 1 ? "its" : "their") +
                     " labels";
        }
        lines += ".\r\n";
    }
    if (edits.loopsDropped > 0) {
        lines += Counted(edits.loopsDropped, "sampler loop", "sampler loops") +
                 " outside the target dropped.\r\n";
    }
    if (edits.timeReferenceMoved) {
        lines += "The time reference was moved with the first sample.\r\n";
    }
    if (edits.sourceLoudness) {
        lines += "The loudness values in the bext chunk describe the source.\r\n";
    }
    if (writtenAsRf64 && !wasRf64) {
        lines += "The target passes 4 GiB: it was written as RF64.\r\n";
    }
    return lines;
}

}  // namespace velmora
