// Layer III frames and the bytes they take from the frames before them.
#include "correction/layer3_reservoir.h"

#include "formats/bit_reader.h"
#include "formats/mpeg_audio_frame.h"
#include "silence/silent_mpeg_frame.h"

namespace velmora {

namespace {

// main_data_begin has 9 bits in MPEG-1, 8 in MPEG-2 and 2.5.
constexpr std::int64_t kFarthestReach = 511;

std::size_t SideInfoStart(const MpegAudioHeader& header) {
    return kMpegAudioHeaderBytes + (header.protectionBit == 0 ? 2 : 0);
}

}  // namespace

const std::vector<std::uint8_t>* Layer3Reservoir::Pass(std::span<const std::uint8_t> frame) {
    if (!layer3_ || own_ >= kFarthestReach) {
        return nullptr;  // the usual case: nothing to look at
    }
    const MpegAudioHeader header = DecodeMpegAudioHeader(frame);
    BitReader bits(frame.subspan(std::min(frame.size(), SideInfoStart(header))));
    const std::int64_t reach = bits.Read(header.versionId == 3 ? 9 : 8);
    if (reach <= own_) {
        Add(frame);
        return nullptr;
    }
    const std::vector<std::uint8_t>& emptied = Replace(frame);
    return emptied.empty() ? nullptr : &emptied;
}

const std::vector<std::uint8_t>& Layer3Reservoir::Replace(std::span<const std::uint8_t> frame) {
    emptied_.assign(frame.begin(), frame.end());
    if (!EmptyLayer3Granules(emptied_)) {
        emptied_.clear();
    }
    Add(frame);
    return emptied_;
}

void Layer3Reservoir::Add(std::span<const std::uint8_t> frame) {
    const MpegAudioHeader header = DecodeMpegAudioHeader(frame);
    const auto mainData = static_cast<std::int64_t>(frame.size()) -
                          static_cast<std::int64_t>(SideInfoStart(header) +
                                                    MpegAudioSideInfoBytes(header));
    own_ += std::max<std::int64_t>(mainData, 0);
}

}  // namespace velmora
