// The settings' values as text, the same on every system.
#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "app/settings.h"

namespace velmora {

namespace {

// Far beyond any screen; a bigger number is a damaged file, not a size.
constexpr int kLargestSide = 100000;

// A side of the size, digits only; nothing for anything else.
std::optional<int> Side(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 ||
        value > kLargestSide) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<WindowSize> WindowSizeFromText(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    const auto cross = text.find_first_of("xX");
    if (cross == std::string_view::npos) {
        return std::nullopt;
    }
    const auto width = Side(text.substr(0, cross));
    const auto height = Side(text.substr(cross + 1));
    if (!width || !height) {
        return std::nullopt;
    }
    return WindowSize{*width, *height};
}

std::string WindowSizeText(WindowSize size) {
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

bool IsStorableFolder(std::string_view folder) {
    // Readers take blanks off both ends of a value, and a value ends at the line's end.
    return !folder.empty() && folder.find_first_of("\r\n") == std::string_view::npos &&
           folder.front() != ' ' && folder.front() != '\t' && folder.back() != ' ' &&
           folder.back() != '\t';
}

}  // namespace velmora
