// The few places of a source the analysis looks at, read without scanning the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/byte_file.h"

namespace velmora {

class SourceReader {
  public:
    explicit SourceReader(const std::string& name);

    // `count` bytes from `offset`, zero-filled where the file has none.
    [[nodiscard]] std::vector<std::uint8_t> Read(std::int64_t offset, std::size_t count);
    // From now on reads give the bytes of each 16-bit word swapped, counting words from
    // `origin`; nullopt reads the bytes as they are again.
    void SwapWordsFrom(std::optional<std::int64_t> origin) { swapFrom_ = origin; }

    [[nodiscard]] std::int64_t Length() const { return length_; }
    // Why the file could not be read; empty when it could.
    [[nodiscard]] const std::string& Error() const { return error_; }

  private:
    [[nodiscard]] std::vector<std::uint8_t> ReadAsStored(std::int64_t offset, std::size_t count);

    InputFile file_;
    std::optional<std::int64_t> swapFrom_;
    bool open_ = false;
    std::int64_t length_ = 0;
    std::string error_;
};

}  // namespace velmora
