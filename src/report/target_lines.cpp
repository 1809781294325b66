// The report's target information: what a finished walk really did.
#include "report/target_lines.h"

#include "common/number_text.h"
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

// What a walk found, without what was done with it: "Frame 50 at 00:00:01,568 (byte 87808)
// has a CRC error".
std::string Found(const Repair& repair, std::int64_t frameNumber, const std::string& time,
                  std::int64_t sourceByte) {
    const std::string place = " at " + time + " (byte " + std::to_string(sourceByte) + ")";
    const std::string frame = "Frame " + std::to_string(frameNumber) + place;
    const std::string bytes =
        std::to_string(repair.bytes) + (repair.bytes == 1 ? " byte" : " bytes") + place;
    switch (repair.kind) {
        case Repair::Kind::CrcError:
            return frame + " has a CRC error";
        case Repair::Kind::LostHeader:
            return frame + " has lost its sync word";
        case Repair::Kind::LostDependent:
            return frame + " has a damaged dependent frame";
        case Repair::Kind::LostExtension:
            return bytes + " are the damaged extension substream of frame " +
                   std::to_string(frameNumber - 1);
        case Repair::Kind::Junk:
            break;
    }
    return bytes + (repair.bytes == 1 ? " is" : " are") + " no frame";
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

std::string RepairLine(const Repair& repair, std::int64_t frameNumber, const std::string& time,
                       std::int64_t sourceByte, bool copies) {
    const std::string found = Found(repair, frameNumber, time, sourceByte);
    switch (repair.kind) {
        case Repair::Kind::CrcError:
        case Repair::Kind::LostHeader:
        case Repair::Kind::LostDependent:
            return found + (copies ? ": replaced by a copy of the frame before."
                                   : ": replaced by a silent frame.");
        case Repair::Kind::LostExtension:
            return found +
                   ": left out, its core kept (a receiver may lose the extension's lock here).";
        case Repair::Kind::Junk:
            break;
    }
    const std::string line = found + ": left out";
    if (repair.timeUnknown) {
        return line + "; the stream's bit rate varies, so the time they stood for is lost.";
    }
    if (repair.units == 0) {
        return line + "; they stood for less than half a frame.";
    }
    const std::string what = copies ? " copies of the frame before" : " silent frame";
    return line + ", " + std::to_string(repair.units) + what +
           (repair.units == 1 || copies ? "" : "s") + " in their place.";
}

std::string DamageWarning(const Repair& repair, std::int64_t frameNumber, const std::string& time,
                          std::int64_t sourceByte) {
    return "WARNING> " + Found(repair, frameNumber, time, sourceByte) + ".\r\n";
}

std::string MoreRepairsLine(std::int64_t more) {
    return "... and " + std::to_string(more) + (more == 1 ? " repair" : " repairs") + " more.";
}

std::string RepairSummaryLine(const CopyState& copy) {
    std::string line;
    if (copy.silentUnitsPut > 0) {
        line = std::to_string(copy.silentUnitsPut) +
               (copy.silentUnitsPut == 1 ? " damaged frame" : " damaged frames") +
               " replaced by silence";
    }
    if (copy.junkBytes > 0) {
        line += (line.empty() ? "" : ", ") + std::to_string(copy.junkBytes) +
                (copy.junkBytes == 1 ? " byte" : " bytes") + " of junk dropped";
    }
    if (copy.extensionsLeftOut > 0) {
        line += (line.empty() ? "" : ", ") + std::to_string(copy.extensionsLeftOut) +
                (copy.extensionsLeftOut == 1 ? " damaged extension substream"
                                             : " damaged extension substreams") +
                " left out, the core kept";
    }
    if (line.empty()) {
        line = "Nothing was replaced";
    }
    return line + (copy.timeLost ? "; the timing is kept except where junk was dropped from a "
                                   "stream whose bit rate varies."
                                 : "; the timing is kept.");
}

std::string TargetInformation(const CopyState& copy, float fps) {
    std::string lines = "\r\nTarget file information:\r\n\r\n";
    const bool samples = copy.unit == "sample";
    if (copy.cutStartFrames >= 1) {
        lines += CountLine(copy.cutStartFrames, copy.unit, "cut at start", fps);
    }
    if (copy.addStartFrames >= 1) {
        lines += CountLine(copy.addStartFrames, copy.unitWord, "added at start", fps);
    }
    if (copy.copiesForSilence) {
        lines += CopiesForSilenceLine(copy.addStartFrames) + "\r\n";
    }
    if (copy.cutEndFrames >= 1) {
        lines += CountLine(copy.cutEndFrames, copy.unit, "cut at end", fps);
    }
    if (copy.addEndFrames >= 1) {
        // Samples added are silence at either end: a repeated last sample would be a step.
        lines += CountLine(copy.addEndFrames, samples ? copy.unitWord : "frame", "added at end",
                           fps);
    }
    // The count really written, always in the plural.
    lines += std::to_string(copy.framesWritten) + " " + copy.unit + "s (" +
             FramesToTime(copy.framesWritten, fps) + ") have been written.\r\n";
    for (const std::string& line : copy.damageLines) {
        lines += line + "\r\n";
    }
    const auto more = copy.crcErrors + copy.repairs -
                      static_cast<std::int64_t>(copy.damageLines.size());
    if (more > 0) {
        lines += (copy.repairs > 0 ? MoreRepairsLine(more) : MoreCrcErrorsLine(more)) + "\r\n";
    }
    if (copy.repairs > 0) {
        lines += RepairSummaryLine(copy) + "\r\n";
    }
    if (copy.shortLastFrame) {
        lines += "Last " + copy.unit + " was too short. Ignored.\r\n";
    }
    if (copy.averageKbps > 0.0) {
        lines += "Average data rate: " + std::to_string(RoundToInt64(copy.averageKbps)) +
                 " kbps\r\n";
    }
    lines += copy.formatLines;
    // One sample a unit: the source lines gave the rate.
    if (!samples) {
        lines += FrameRateSentence(fps);
    }
    return lines;
}

}  // namespace velmora
