// Report pieces shared by the source and the target information.
#include "report/report_text.h"

#include <array>

#include "common/number_text.h"

namespace velmora {

namespace {

// The last `width` characters of the number written with leading zeros.
std::string LastDigits(std::int64_t value, std::size_t width) {
    std::string digits = std::string(width, '0') + std::to_string(value);
    return digits.substr(digits.size() - width);
}

}  // namespace

std::int64_t FramesToMs(std::int64_t frames, float framesPerSecond) {
    if (!(framesPerSecond > 0.0f)) {
        return 0;
    }
    return RoundToInt64(static_cast<long double>(frames) / framesPerSecond * 1000.0L);
}

std::string FramesToTime(std::int64_t frames, float framesPerSecond) {
    std::int64_t total = 0;
    if (framesPerSecond > 0.0f) {
        total = RoundToInt64(static_cast<long double>(frames) / framesPerSecond * 1000.0L);
    }
    if (total < 0) {
        // Frame counts are never negative while the rate is positive; show nothing odd if so.
        total = 0;
    }
    std::int64_t seconds = total / 1000;
    const std::int64_t milliseconds = total - seconds * 1000;
    std::int64_t minutes = seconds / 60;
    seconds -= minutes * 60;
    const std::int64_t hours = minutes / 60;
    minutes -= hours * 60;
    return LastDigits(hours, 2) + ":" + LastDigits(minutes, 2) + ":" + LastDigits(seconds, 2) +
           "," + LastDigits(milliseconds, 3);
}

std::string FrameRateSentence(float framesPerSecond) {
    if (framesPerSecond == 1.0f) {
        return "There is 1 frame in one second.";
    }
    return "There are " + FrameRateText(framesPerSecond) + " frames in one second.";
}

std::string LengthLines(std::int64_t frames, float framesPerSecond, bool fits) {
    std::string lines = "Length: " + std::to_string(frames) + "frames (" +
                        FramesToTime(frames, framesPerSecond) + ")\r\n";
    if (!fits) {
        lines +=
            "WARNING> Filelength is not OK.\r\n"
            "WARNING> Possible corrupted file or\r\n"
            "WARNING> last frame is too short.\r\n";
    }
    return lines;
}

std::string KilohertzText(std::int32_t rate) {
    std::string text = std::to_string(rate / 1000);
    if (rate % 1000 != 0) {
        std::string fraction = std::to_string(rate % 1000);
        fraction.insert(0, 3 - fraction.size(), '0');
        text += "." + fraction.substr(0, fraction.find_last_not_of('0') + 1);
    }
    return text;
}

std::string ChannelText(int acmod, int lfeon) {
    static constexpr std::array<const char*, 8> kLayouts = {
        "1+1", "1.", "2.", "3.", "2/1.", "3/1.", "2/2.", "5."};
    const std::string layout = kLayouts[static_cast<std::size_t>(acmod & 7)];
    if (acmod == 0) {
        return lfeon != 0 ? layout + ".1" : layout;
    }
    return layout + (lfeon != 0 ? "1" : "0");
}

std::string FramePlaceLines(std::int64_t skippedBytes, bool byteSwapped) {
    std::string lines;
    if (skippedBytes == 1) {
        lines += "1 byte before the first frame is no audio: it is left out of the target.\r\n";
    } else if (skippedBytes > 1) {
        lines += std::to_string(skippedBytes) +
                 " bytes before the first frame are no audio: they are left out of the target.\r\n";
    }
    if (byteSwapped) {
        lines += "Byte order: byte-swapped (16-bit words with the low byte first)\r\n";
    }
    return lines;
}

}  // namespace velmora
