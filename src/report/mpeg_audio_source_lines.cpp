// The report of an MPEG audio source.
#include "report/mpeg_audio_source_lines.h"

#include <array>

#include "common/number_text.h"

namespace velmora {

namespace {

const char* Pick(const std::array<const char*, 4>& texts, int code) {
    return texts[static_cast<std::size_t>(code & 3)];
}

}  // namespace

std::string MpegAudioReport(const MpegAudioHeader& h, std::int32_t frameLength) {
    std::string report;
    report += std::string("MPEG Version: ") +
              Pick({"2.5\r\n", "reserved\r\n", "2\r\n", "1\r\n"}, h.versionId);
    report +=
        std::string("Layer: ") + Pick({"reserved\r\n", "3\r\n", "2\r\n", "1\r\n"}, h.layerCode);
    report += std::string("Protected: ") + (h.protectionBit == 1 ? "None\r\n" : "CRC\r\n");
    report += "Bitrate: " + std::to_string(h.bitrate) + "\r\n";
    report += "Samplingrate: " + std::to_string(h.samplingRate) + "\r\n";
    report += std::string("Padding:") + (h.paddingBit == 1 ? "On\r\n" : "Off\r\n");
    report += std::string("Mode: ") +
              Pick({"Stereo\r\n", "Joint Stereo\r\n", "Dual Channel\r\n", "Single Channel\r\n"},
                   h.channelMode);
    report += std::string("Copyright: ") + (h.copyrightBit == 0 ? "No\r\n" : "Yes\r\n");
    report += std::string("Original: ") + (h.originalBit == 0 ? "No\r\n" : "Yes\r\n");
    report += std::string("Emphasis: ") +
              Pick({"None\r\n", "50/15 ms\r\n", "?\r\n", "CCIT J.17\r\n"}, h.emphasis);
    if (h.samplingRate > 0) {
        report += "Framelength: " + std::to_string(frameLength) + "\r\n";
    }
    report += "\r\n";
    return report;
}

}  // namespace velmora
