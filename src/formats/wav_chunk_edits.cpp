// The chunks of a WAVE file that count in samples, moved with its samples.
#include "formats/wav_chunk_edits.h"

#include <algorithm>

#include "common/byte_order.h"

namespace velmora {

namespace {

constexpr std::size_t kCuePointBytes = 24;
constexpr std::size_t kSamplerHeaderBytes = 36;
constexpr std::size_t kSamplerLoopBytes = 24;
// Where the broadcast extension keeps its time reference, version and loudness values.
constexpr std::size_t kBextTimeReference = 338;
constexpr std::size_t kBextVersion = 346;
constexpr std::size_t kBextLoudness = 412;
constexpr std::size_t kBextLoudnessBytes = 10;

// A sample count since midnight moved back by `shift`, into the previous day below 0.
std::uint64_t MovedTimeOfDay(std::uint64_t samples, const SampleShift& shift) {
    const auto moved = static_cast<std::int64_t>(samples) - shift.atStart;
    const std::int64_t day = std::int64_t{shift.samplingRate} * 86400;
    if (moved >= 0 || day <= 0) {
        return static_cast<std::uint64_t>(std::max<std::int64_t>(moved, 0));
    }
    return static_cast<std::uint64_t>((moved % day + day) % day);
}

// A position moved with the samples, or empty when it falls outside the target.
bool MovePosition(std::uint8_t* field, const SampleShift& shift) {
    const std::int64_t moved = std::int64_t{Le32(field)} + shift.atStart;
    if (moved < 0 || moved > shift.length || moved > 0xFFFFFFFF) {
        return false;
    }
    PutLe32(field, static_cast<std::uint32_t>(moved));
    return true;
}

// The decimal value between <tag> and </tag>, and where its digits are.
bool FindValue(const std::string& text, const std::string& tag, std::size_t& at,
               std::size_t& length, std::uint64_t& value) {
    const std::string open = "<" + tag + ">";
    const std::size_t start = text.find(open);
    if (start == std::string::npos) {
        return false;
    }
    at = start + open.size();
    length = 0;
    value = 0;
    while (at + length < text.size() && text[at + length] >= '0' && text[at + length] <= '9' &&
           length < 19) {
        value = value * 10 + static_cast<std::uint64_t>(text[at + length] - '0');
        ++length;
    }
    return length > 0 && text.compare(at + length, open.size() + 1, "</" + tag + ">") == 0;
}

}  // namespace

std::vector<std::uint8_t> MoveCuePoints(std::vector<std::uint8_t> body, const SampleShift& shift,
                                        ChunkEdits& edits) {
    if (body.size() < 4) {
        return body;
    }
    const std::size_t count =
        std::min<std::size_t>(Le32(body.data()), (body.size() - 4) / kCuePointBytes);
    std::vector<std::uint8_t> kept(body.begin(), body.begin() + 4);
    std::uint32_t keptCount = 0;
    for (std::size_t n = 0; n < count; ++n) {
        std::uint8_t* point = body.data() + 4 + n * kCuePointBytes;
        // The sample offset counts from the chunk the point names, which here is `data`.
        if (MovePosition(point + 4, shift) && MovePosition(point + 20, shift)) {
            kept.insert(kept.end(), point, point + kCuePointBytes);
            ++keptCount;
            ++edits.cuesMoved;
        } else {
            edits.droppedCues.insert(Le32(point));
        }
    }
    PutLe32(kept.data(), keptCount);
    return kept;
}

std::vector<std::uint8_t> DropCueLabels(const std::vector<std::uint8_t>& body,
                                        const ChunkEdits& edits) {
    if (body.size() < 4 || std::string(body.begin(), body.begin() + 4) != "adtl") {
        return body;
    }
    std::vector<std::uint8_t> kept(body.begin(), body.begin() + 4);
    for (std::size_t at = 4; at + 8 <= body.size();) {
        const std::size_t size = Le32(&body[at + 4]);
        const std::size_t end = std::min(body.size(), at + 8 + size + (size & 1));
        const bool named = size >= 4 && at + 12 <= body.size();
        if (!named || !edits.droppedCues.contains(Le32(&body[at + 8]))) {
            kept.insert(kept.end(), body.begin() + static_cast<std::ptrdiff_t>(at),
                        body.begin() + static_cast<std::ptrdiff_t>(end));
        }
        at = end;
    }
    return kept;
}

std::vector<std::uint8_t> MoveSamplerLoops(std::vector<std::uint8_t> body,
                                           const SampleShift& shift, ChunkEdits& edits) {
    if (body.size() < kSamplerHeaderBytes) {
        return body;
    }
    const std::size_t count = std::min<std::size_t>(
        Le32(&body[28]), (body.size() - kSamplerHeaderBytes) / kSamplerLoopBytes);
    std::vector<std::uint8_t> kept(body.begin(), body.begin() + kSamplerHeaderBytes);
    std::uint32_t keptCount = 0;
    for (std::size_t n = 0; n < count; ++n) {
        std::uint8_t* loop = body.data() + kSamplerHeaderBytes + n * kSamplerLoopBytes;
        // The end is the loop's last sample, which must stay inside the target.
        if (MovePosition(loop + 8, shift) && MovePosition(loop + 12, shift) &&
            std::int64_t{Le32(loop + 12)} < shift.length) {
            kept.insert(kept.end(), loop, loop + kSamplerLoopBytes);
            ++keptCount;
        } else {
            ++edits.loopsDropped;
        }
    }
    // The sampler's own data after the loops stays as it was.
    kept.insert(kept.end(),
                body.begin() + static_cast<std::ptrdiff_t>(kSamplerHeaderBytes +
                                                           count * kSamplerLoopBytes),
                body.end());
    PutLe32(&kept[28], keptCount);
    return kept;
}

std::vector<std::uint8_t> MoveBextTime(std::vector<std::uint8_t> body, const SampleShift& shift,
                                       ChunkEdits& edits) {
    if (body.size() < kBextVersion + 2) {
        return body;
    }
    std::uint8_t* reference = &body[kBextTimeReference];
    PutLe64(reference, MovedTimeOfDay(Le64(reference), shift));
    edits.timeReferenceMoved = shift.atStart != 0;
    const int version = body[kBextVersion] | body[kBextVersion + 1] << 8;
    if (version >= 2 && body.size() >= kBextLoudness + kBextLoudnessBytes) {
        edits.sourceLoudness = std::any_of(
            body.begin() + kBextLoudness, body.begin() + kBextLoudness + kBextLoudnessBytes,
            [](std::uint8_t b) { return b != 0; });
    }
    return body;
}

std::vector<std::uint8_t> MoveIxmlTime(const std::vector<std::uint8_t>& body,
                                       const SampleShift& shift, ChunkEdits& edits) {
    std::string text(body.begin(), body.end());
    std::size_t lowAt = 0, lowLength = 0, highAt = 0, highLength = 0;
    std::uint64_t low = 0, high = 0;
    if (!FindValue(text, "BWF_TIME_REFERENCE_LOW", lowAt, lowLength, low) ||
        !FindValue(text, "BWF_TIME_REFERENCE_HIGH", highAt, highLength, high)) {
        return body;
    }
    const std::uint64_t moved = MovedTimeOfDay(high << 32 | (low & 0xFFFFFFFF), shift);
    edits.timeReferenceMoved = shift.atStart != 0;
    // The later value first, so that the earlier one's place still holds.
    const bool lowFirst = lowAt < highAt;
    const auto replace = [&text](std::size_t at, std::size_t length, std::uint64_t value) {
        text.replace(at, length, std::to_string(value));
    };
    if (lowFirst) {
        replace(highAt, highLength, moved >> 32);
        replace(lowAt, lowLength, moved & 0xFFFFFFFF);
    } else {
        replace(lowAt, lowLength, moved & 0xFFFFFFFF);
        replace(highAt, highLength, moved >> 32);
    }
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

}  // namespace velmora
