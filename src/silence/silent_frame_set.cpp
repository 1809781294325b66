// The three stored silent frames: their parameters and the table they are packed into.
#include "silence/silent_frame_set.h"

#include <algorithm>

namespace velmora {

std::array<SilentFrameEntry, 3> SilentFrameEntries() {
    SilentAc3FrameParams a;
    a.frmsizecod = 20;  // 192 kbit/s, 384 words
    a.acmod = 2;        // 2/0: left, right
    a.dsurmod = 2;      // matrix surround encoded
    a.lfeon = false;
    a.dialnorm = 27;
    a.compr = 0xFF;
    a.copyrightb = true;
    a.origbs = true;

    SilentAc3FrameParams b;
    b.frmsizecod = 28;  // 384 kbit/s, 768 words
    b.acmod = 7;        // 3/2: left, centre, right, left and right surround
    b.lfeon = true;
    b.dialnorm = 31;
    b.compr = 0x10;
    b.audprod = Ac3ProductionInfo{25, 1};  // 105 dB SPL peak, large room
    b.copyrightb = true;
    b.origbs = true;

    SilentAc3FrameParams c = b;
    c.frmsizecod = 30;  // 448 kbit/s, 896 words
    c.dialnorm = 27;
    c.compr = 0xAB;
    c.audprod.reset();

    return {{
        {"A", 0, 768, a},
        {"B", 768, 1536, b},
        {"C", 2304, 1792, c},
    }};
}

std::optional<std::array<std::uint8_t, kSilentFrameTableSize>> BuildSilentFrameTable() {
    std::array<std::uint8_t, kSilentFrameTableSize> table{};
    std::size_t filled = 0;
    for (const SilentFrameEntry& entry : SilentFrameEntries()) {
        const std::optional<SilentAc3Frame> frame = BuildSilentAc3Frame(entry.params);
        if (!frame || frame->bytes.size() != entry.size || entry.offset != filled ||
            entry.offset + entry.size > table.size()) {
            return std::nullopt;
        }
        std::copy(frame->bytes.begin(), frame->bytes.end(),
                  table.begin() + static_cast<std::ptrdiff_t>(entry.offset));
        filled += entry.size;
    }
    if (filled != table.size()) {
        return std::nullopt;
    }
    return table;
}

}  // namespace velmora
