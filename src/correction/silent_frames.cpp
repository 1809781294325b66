// Picks the stored silent frame that matches the source's first AC-3 frame.
#include "correction/silent_frames.h"

#include <algorithm>
#include <cstddef>
#include <optional>

namespace velmora {

namespace {

// A run of bytes inside SilentFrameTemplates.
struct TemplateSpan {
    std::size_t offset = 0;
    std::size_t size = 0;
};

// Only the three 48 kHz codes the templates were made for, compared as whole bytes. The
// odd codes beside them (0x15, 0x1D, 0x1F) have the same size at 48 kHz but are not what
// the frames themselves say, so they get nothing.
std::optional<TemplateSpan> TemplateFor(std::uint8_t fifthByte) {
    switch (fifthByte) {
        case 0x14:
            return TemplateSpan{0, 768};  // A: 192 kbit/s, 2/0
        case 0x1C:
            return TemplateSpan{768, 1536};  // B: 384 kbit/s, 3/2 + LFE
        case 0x1E:
            return TemplateSpan{2304, 1792};  // C: 448 kbit/s, 3/2 + LFE
        default:
            return std::nullopt;
    }
}

}  // namespace

void LoadSilentFrame(StreamInfo& info, FileType fileType, std::uint8_t fifthByte,
                     int addSilentValue) {
    info.SilentFrameLoaded = false;
    // A greyed check box (2) counts as unchecked.
    if (addSilentValue != 1 || fileType != FileType::Ac3) {
        return;
    }
    const std::optional<TemplateSpan> chosen = TemplateFor(fifthByte);
    if (!chosen) {
        return;
    }
    info.SilentFrameLoaded = true;
    // FrameLength equals the template's size whenever the header was read properly; it is
    // 0 when the sync word was wrong, and then nothing is copied although the flag is set
    // (Write stays disabled with no frame length). Never copy past the template; and should
    // the buffer be shorter than the copy, grow it, since the writer takes FrameLength bytes
    // from it.
    const std::size_t wanted =
        info.FrameLength > 0 ? static_cast<std::size_t>(info.FrameLength) : 0;
    const std::size_t count = std::min(wanted, chosen->size);
    if (info.SilentFrame.size() < count) {
        info.SilentFrame.resize(count);
    }
    const auto first = SilentFrameTemplates.begin() + static_cast<std::ptrdiff_t>(chosen->offset);
    std::copy(first, first + static_cast<std::ptrdiff_t>(count), info.SilentFrame.begin());
}

}  // namespace velmora
