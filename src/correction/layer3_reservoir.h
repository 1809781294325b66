// Layer III frames take the start of their main data from the frames before them (the bit
// reservoir: main_data_begin bytes back). Where those bytes are not the stream's own (left
// out as junk, or silence put in their place), such a frame would decode from the wrong
// bytes: it is emptied instead, until the frames take only what is the stream's own again.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace velmora {

class Layer3Reservoir {
  public:
    // Watches nothing for a stream that is not Layer III.
    explicit Layer3Reservoir(bool layer3) : layer3_(layer3) {}

    // A sound frame about to be written: nullptr where it goes out as it is, else the emptied
    // copy to write instead (valid until the next call).
    [[nodiscard]] const std::vector<std::uint8_t>* Pass(std::span<const std::uint8_t> frame);
    // A whole frame that is damaged: its emptied copy, whose main data bytes stay for the
    // frames after it. Empty where it cannot be emptied.
    [[nodiscard]] const std::vector<std::uint8_t>& Replace(std::span<const std::uint8_t> frame);
    // Bytes that are not the stream's own were put in (silence in place of junk).
    void Lose() { own_ = 0; }
    [[nodiscard]] bool Watching() const { return layer3_; }

  private:
    void Add(std::span<const std::uint8_t> frame);

    bool layer3_;
    // Main data bytes behind the next frame that are the stream's own, as far as any frame
    // can reach back (511 bytes).
    std::int64_t own_ = 1 << 16;
    std::vector<std::uint8_t> emptied_;
};

}  // namespace velmora
