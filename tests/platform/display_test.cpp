// Telling from the environment whether a window can be shown.
#include "platform/display.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

struct DisplayRow {
    DisplayEnvironment environment;
    bool available;
};

TEST(Display, NamedDisplayOrQtDrawingOffscreen) {
    const std::vector<DisplayRow> rows = {
        {{"", "", ""}, false},
        {{":0", "", ""}, true},
        {{"localhost:10.0", "", ""}, true},
        {{"", "wayland-0", ""}, true},
        {{"", "", "offscreen"}, true},
        {{"", "", "minimal"}, true},
        {{"", "", "offscreen:fontengine=freetype"}, true},
        // Naming a plugin that needs a display does not make one.
        {{"", "", "xcb"}, false},
        {{"", "", "wayland"}, false},
        {{"", "", "offscreenish"}, false},
        {{":1", "", "xcb"}, true},
    };
    for (const DisplayRow& row : rows) {
#ifdef __APPLE__
        EXPECT_TRUE(DisplayAvailable(row.environment));
#else
        EXPECT_EQ(DisplayAvailable(row.environment), row.available)
            << "DISPLAY=" << row.environment.display
            << " WAYLAND_DISPLAY=" << row.environment.waylandDisplay
            << " QT_QPA_PLATFORM=" << row.environment.qtPlatform;
#endif
    }
}

}  // namespace
}  // namespace velmora
