// The three stored silent frames: their parameters and the table they are packed into.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "silence/silent_sync_frame.h"

namespace velmora {

// One stored frame: where it lies in the table and what it is built from.
struct SilentFrameEntry {
    std::string_view name;   // "A", "B" or "C"
    std::size_t offset = 0;  // first byte in the table
    std::size_t size = 0;    // frame bytes
    SilentAc3FrameParams params;
};

// A: 48 kHz 192 kbit/s 2/0; B: 48 kHz 384 kbit/s 3/2 + LFE; C: 48 kHz 448 kbit/s
// 3/2 + LFE. Back to back in this order.
[[nodiscard]] std::array<SilentFrameEntry, 3> SilentFrameEntries();

constexpr std::size_t kSilentFrameTableSize = 4096;

// The 4096-byte table, or nothing if a frame could not be built or the frames do not
// fill the table exactly.
[[nodiscard]] std::optional<std::array<std::uint8_t, kSilentFrameTableSize>>
BuildSilentFrameTable();

}  // namespace velmora
