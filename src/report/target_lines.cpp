// The report's target information: what a finished walk really did.
#include "report/target_lines.h"

#include "report/report_text.h"

namespace velmora {

namespace {

// One row of the target information: "n frames (ms ms) have been <what>.\r\n", singular for 1.
std::string CountLine(std::int64_t frames, const std::string& unitWord, const std::string& what,
                      float framesPerSecond) {
    const std::string ms = std::to_string(FramesToMs(frames, framesPerSecond));
    if (frames == 1) {
        return "1 " + unitWord + " (" + ms + "ms) has been " + what + ".\r\n";
    }
    return std::to_string(frames) + " " + unitWord + "s (" + ms + "ms) have been " + what + ".\r\n";
}

}  // namespace

std::string CopiesForSilenceLine(std::int64_t frames) {
    return std::to_string(frames) + (frames == 1 ? " frame" : " frames") +
           " added at the start " + (frames == 1 ? "is a copy" : "are copies") +
           " of the first frame: no silent frame can be built for this stream.";
}

std::string CrcErrorLine(std::int64_t frameNumber, const std::string& time) {
    return "Frame " + std::to_string(frameNumber) + " at " + time +
           " has a CRC error: copied as it is.";
}

std::string MoreCrcErrorsLine(std::int64_t more) {
    return "... and " + std::to_string(more) + (more == 1 ? " frame" : " frames") +
           " more with a CRC error, copied as " + (more == 1 ? "it is" : "they are") + ".";
}

std::string TargetInformation(const CopyState& copy, float fps) {
    std::string lines = "\r\nTarget file information:\r\n\r\n";
    if (copy.cutStartFrames >= 1) {
        lines += CountLine(copy.cutStartFrames, "frame", "cut at start", fps);
    }
    if (copy.addStartFrames >= 1) {
        lines += CountLine(copy.addStartFrames, copy.unitWord, "added at start", fps);
    }
    if (copy.copiesForSilence) {
        lines += CopiesForSilenceLine(copy.addStartFrames) + "\r\n";
    }
    if (copy.cutEndFrames >= 1) {
        lines += CountLine(copy.cutEndFrames, "frame", "cut at end", fps);
    }
    if (copy.addEndFrames >= 1) {
        lines += CountLine(copy.addEndFrames, "frame", "added at end", fps);
    }
    // The count really written, always in the plural.
    lines += std::to_string(copy.framesWritten) + " frames (" +
             FramesToTime(copy.framesWritten, fps) + ") have been written.\r\n";
    for (const std::string& line : copy.crcErrorLines) {
        lines += line + "\r\n";
    }
    if (const auto more = copy.crcErrors - static_cast<std::int64_t>(copy.crcErrorLines.size());
        more > 0) {
        lines += MoreCrcErrorsLine(more) + "\r\n";
    }
    if (copy.shortLastFrame) {
        lines += "Last frame was too short. Ignored.\r\n";
    }
    lines += FrameRateSentence(fps);
    return lines;
}

}  // namespace velmora
