// Where a source's frames lie: after the tags and whatever else stands before the first
// frame, before the tags at the end, and in which byte order.
#include "analysis/frame_search.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/stream_tags.h"

namespace velmora {

namespace {

// How far into the file a first frame is looked for, and the bytes read to measure a unit.
constexpr std::int64_t kSearchBytes = std::int64_t{64} << 10;
constexpr std::size_t kUnitBytes = std::size_t{64} << 10;
// Headers that must follow the first one before it is believed.
constexpr int kConfirmations = 3;
// More tags than this in a row are no tags but damage.
constexpr int kMostTags = 8;

// ID3v2 tags at the start (some files repeat them) and the zeros that pad the last one.
std::int64_t LeadingTagBytes(SourceReader& source) {
    std::int64_t at = 0;
    for (int tags = 0; tags < kMostTags; ++tags) {
        const std::int64_t tag = Id3v2TagBytes(source.Read(at, kId3v2HeaderBytes));
        if (tag == 0 || at + tag > source.Length()) {
            break;
        }
        at += tag;
    }
    if (at == 0) {
        return 0;
    }
    const std::vector<std::uint8_t> after = source.Read(at, kUnitBytes);
    const auto zeros = std::find_if(after.begin(), after.end(), [](std::uint8_t b) { return b; });
    return std::min(at + (zeros - after.begin()), source.Length());
}

std::int64_t TrailingTagsStart(SourceReader& source, std::int64_t audioStart) {
    std::int64_t end = source.Length();
    bool afterId3v1 = false;
    for (int tags = 0; tags < kMostTags && end > audioStart; ++tags) {
        const std::int64_t probe =
            std::min(static_cast<std::int64_t>(kTrailingTagProbeBytes), end - audioStart);
        const std::vector<std::uint8_t> tail =
            source.Read(end - probe, static_cast<std::size_t>(probe));
        const TrailingTag tag =
            TrailingTagAt(tail, end - audioStart, end == source.Length(), afterId3v1);
        if (tag.bytes == 0) {
            break;
        }
        const std::vector<std::uint8_t> head = source.Read(end - tag.bytes, tag.startsWith.size());
        if (std::string(head.begin(), head.end()) != tag.startsWith) {
            break;
        }
        end -= tag.bytes;
        afterId3v1 = tag.id3v1;
    }
    return end;
}

class Search {
  public:
    Search(SourceReader& source, const FormatRow& format, std::int64_t from, std::int64_t end)
        : source_(source), format_(format), from_(from), end_(end),
          bytes_(source.Read(from, static_cast<std::size_t>(kSearchBytes) + kUnitBytes)) {}

    // The first frame at or after `from_` on a step of `step` bytes. A header right at the
    // start is taken as it is, unless `confirmAll`: what follows it is for the frame walk
    // to judge.
    [[nodiscard]] std::optional<std::int64_t> FirstFrame(int step, bool confirmAll) {
        const std::int64_t last = std::min(from_ + kSearchBytes, end_);
        for (std::int64_t at = from_; at < last; at += step) {
            const FrameFacts facts = Facts(at);
            if (Usable(facts) && ((at == from_ && !confirmAll) || Confirmed(at, facts))) {
                return at;
            }
        }
        return std::nullopt;
    }

  private:
    static bool Usable(const FrameFacts& facts) {
        return facts.syncOk && facts.length > 0 && facts.samplingRate > 0;
    }

    FrameFacts Facts(std::int64_t at) {
        const auto offset = static_cast<std::size_t>(at - from_);
        if (offset + kUnitBytes <= bytes_.size()) {
            return format_.readFacts(std::span(bytes_).subspan(offset));
        }
        return format_.readFacts(source_.Read(at, kUnitBytes));
    }

    // The frame's length leads to further frames of the same stream, or to the end of the
    // frames (a one-frame file, or a last frame cut short after a whole one).
    bool Confirmed(std::int64_t at, const FrameFacts& first) {
        std::int64_t next = at + first.length;
        for (int seen = 0; seen < kConfirmations; ++seen) {
            if (next == end_) {
                return true;
            }
            if (next > end_) {
                return seen > 0;
            }
            const FrameFacts facts = Facts(next);
            if (!Usable(facts) || facts.streamKey != first.streamKey) {
                return false;
            }
            next += facts.length;
        }
        return true;
    }

    SourceReader& source_;
    const FormatRow& format_;
    std::int64_t from_;
    std::int64_t end_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace

FramePlace FindFrames(SourceReader& source, const FormatRow& format) {
    FramePlace place;
    place.tagBytes = LeadingTagBytes(source);
    place.start = place.tagBytes;
    place.end = TrailingTagsStart(source, place.tagBytes);
    Search search(source, format, place.tagBytes, place.end);
    if (const auto first = search.FirstFrame(1, false)) {
        place.start = *first;
        return place;
    }
    if (format.mayBeByteSwapped) {
        // Words swapped as a whole: frames start on a word of the stream. Only a stream that
        // reads right throughout is taken for swapped.
        source.SwapWordsFrom(place.tagBytes);
        Search swapped(source, format, place.tagBytes, place.end);
        if (const auto first = swapped.FirstFrame(2, true)) {
            place.start = *first;
            place.byteSwapped = true;
            return place;
        }
        source.SwapWordsFrom(std::nullopt);
    }
    return place;
}

}  // namespace velmora
