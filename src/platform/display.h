// Whether a window can be put on screen at all.
#pragma once

#include <string>

namespace velmora {

// The environment variables that tell where windows go.
struct DisplayEnvironment {
    std::string display;         // DISPLAY (X11)
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string qtPlatform;      // QT_QPA_PLATFORM
};

[[nodiscard]] DisplayEnvironment CurrentDisplayEnvironment();

// True when an X11 or Wayland display is named, or when Qt is told to draw without one
// (QT_QPA_PLATFORM offscreen or minimal, as tests and screenshots use). A named display
// that cannot be reached is not detected here; Qt then reports it itself. No attempt is made
// to guess other platform plugins: anything else counts as no display.
[[nodiscard]] bool DisplayAvailable(const DisplayEnvironment& environment);

// DisplayAvailable of the current environment.
[[nodiscard]] bool DisplayAvailable();

}  // namespace velmora
