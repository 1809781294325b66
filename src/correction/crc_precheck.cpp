// The units' check words, looked at on the reading thread.
#include "correction/crc_precheck.h"

#include <algorithm>

#include "formats/byte_order.h"

namespace velmora {

namespace {

// A unit counts as whole once the next one's header can be seen behind it: an E-AC-3 unit
// ends only where a frame that starts no dependent begins.
constexpr std::size_t kPeek = 16;
// How much of a block a unit left over from the block before may reach into.
constexpr std::size_t kLongestJoin = std::size_t{64} << 10;

}  // namespace

CrcPrecheck::CrcPrecheck(FileType fileType, bool byteSwapped)
    : format_(FormatOf(fileType)), byteSwapped_(byteSwapped) {}

void CrcPrecheck::Done(ReadAhead::Block& block, bool last) {
    const std::span<std::uint8_t> bytes(block.bytes.data() + block.start, block.size);
    if (byteSwapped_) {
        // Every block but the last holds whole words, so words never straddle two blocks.
        SwapWords(bytes);
    }
    if (lost_ || format_.crcHolds == nullptr || !format_.crcCoversFrames) {
        return;
    }
    std::size_t at = 0;
    if (!carried_.empty()) {
        // The unit left over, joined with this block's first bytes.
        const std::size_t taken = std::min(bytes.size(), kLongestJoin);
        std::vector<std::uint8_t> joined = carried_;
        joined.insert(joined.end(), bytes.begin(),
                      bytes.begin() + static_cast<std::ptrdiff_t>(taken));
        const std::size_t before = carried_.size();
        const std::size_t stop = CheckUnits(joined, 0, next_, last && taken == bytes.size(),
                                            block.checked);
        if (lost_ || stop < before) {
            lost_ = true;  // a unit longer than the join: the walk checks it and the rest
            return;
        }
        carried_.clear();
        at = stop - before;
    } else {
        at = static_cast<std::size_t>(std::max<std::int64_t>(next_ - block.offset, 0));
    }
    at = CheckUnits(bytes, at, block.offset, last, block.checked);
    if (!lost_ && at < bytes.size()) {
        carried_.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end());
    }
}

std::size_t CrcPrecheck::CheckUnits(std::span<const std::uint8_t> bytes, std::size_t at,
                                    std::int64_t offset, bool last,
                                    std::vector<ReadAhead::CheckedUnit>& checked) {
    while (at < bytes.size()) {
        const auto rest = bytes.subspan(at);
        if (!last && rest.size() < kPeek) {
            return at;
        }
        const FrameFacts facts = format_.readFacts(rest);
        if (!facts.syncOk || facts.length <= 0 ||
            (streamKey_ && facts.streamKey != *streamKey_)) {
            lost_ = true;
            return at;
        }
        const auto length = static_cast<std::size_t>(facts.length);
        if (length > rest.size() || (!last && length + kPeek > rest.size())) {
            return at;  // it ends in the next block
        }
        streamKey_ = facts.streamKey;
        checked.push_back({offset + static_cast<std::int64_t>(at), facts.length,
                           format_.crcHolds(rest.first(length))});
        at += length;
        next_ = offset + static_cast<std::int64_t>(at);
    }
    return at;
}

}  // namespace velmora
