// The report lines of an AAC source.
#include "report/aac_source_lines.h"

#include <array>

#include "common/number_text.h"
#include "report/report_text.h"

namespace velmora {

namespace {

constexpr std::array<const char*, 4> kProfiles = {"AAC Main", "AAC LC", "AAC SSR", "AAC LTP"};
constexpr std::array<const char*, 8> kLayouts = {
    "in the stream's program config element", "1 (mono)", "2 (stereo)", "3 (3/0)",
    "4 (3/1)", "5 (3/2)", "6 (5.1)", "8 (7.1)"};

}  // namespace

std::string AacReport(const AacFirstFrames& first) {
    const AdtsHeader& h = first.header;
    std::string profile = kProfiles[static_cast<std::size_t>(h.profile & 3)];
    // MPEG-2 AAC has no fourth profile.
    if (h.mpegVersion == 2 && h.profile == 3) {
        profile = "AAC (reserved profile)";
    }
    const std::string version = h.mpegVersion == 2 ? "MPEG-2" : "MPEG-4";
    std::string lines = first.sbr ? "Format: HE-AAC (" + profile + " with SBR, " + version +
                                        ", ADTS)\r\n"
                                  : "Format: " + profile + " (" + version + ", ADTS)\r\n";
    lines += "Sampling rate: " + KilohertzText(h.samplingRate) + " kHz";
    if (first.sbr) {
        lines += " (" + KilohertzText(2 * h.samplingRate) + " kHz with SBR)";
    }
    lines += "\r\nChannels: ";
    lines += kLayouts[static_cast<std::size_t>(h.channelConfiguration & 7)];
    lines += "\r\n";
    if (!h.protectionAbsent) {
        // Checking them would take a parse of every element the CRCs reach into.
        lines += "CRC words: present, not checked\r\n";
    }
    if (h.rawDataBlocks > 1) {
        lines += "Raw data blocks: " + std::to_string(h.rawDataBlocks) + " per frame\r\n";
    }
    lines += "Data rate: about " + std::to_string(RoundToInt64(first.kilobitsPerSecond)) +
             " kbps\r\n";
    lines += "Length: about " + std::to_string(first.estimatedFrames) + " frames (" +
             FramesToTime(first.estimatedFrames, first.framesPerSecond) + ")\r\n";
    return lines + FrameRateSentence(first.framesPerSecond) + "\r\n";
}

}  // namespace velmora
