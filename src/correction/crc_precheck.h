// The units' check words, looked at on the reading thread while the walk writes the blocks
// before: for a sound stream the walk finds every check done.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "correction/read_ahead.h"
#include "formats/file_type.h"
#include "formats/format_table.h"

namespace velmora {

// Follows the units' own lengths from the first byte read, and swaps a byte-swapped
// source's words before anything else looks at them. Where the units stop following each
// other (damage), it stops checking: the walk checks what it finds after that itself.
class CrcPrecheck final : public ReadAhead::BlockWork {
  public:
    CrcPrecheck(FileType fileType, bool byteSwapped);

    void Done(ReadAhead::Block& block, bool last) override;

  private:
    // Checks the whole units of `bytes` from `at` on (bytes[0] lies at `offset` in what is
    // read) and returns where the first one not checked starts.
    std::size_t CheckUnits(std::span<const std::uint8_t> bytes, std::size_t at,
                           std::int64_t offset, bool last,
                           std::vector<ReadAhead::CheckedUnit>& checked);

    const FormatRow& format_;
    bool byteSwapped_;
    bool lost_ = false;
    std::int64_t next_ = 0;              // where the next unit to check starts
    std::vector<std::uint8_t> carried_;  // its first bytes, from the end of the block before
    std::optional<std::uint32_t> streamKey_;
};

}  // namespace velmora
