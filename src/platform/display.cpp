// Looking for a display in the environment.
#include "platform/display.h"

#include <cstdlib>
#include <string_view>

namespace velmora {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// "offscreen" or "offscreen:fontengine=freetype": the plugin name comes before any options.
bool DrawsWithoutDisplay(std::string_view qtPlatform) {
    const std::string_view plugin = qtPlatform.substr(0, qtPlatform.find(':'));
    return plugin == "offscreen" || plugin == "minimal";
}

}  // namespace

DisplayEnvironment CurrentDisplayEnvironment() {
    return {Variable("DISPLAY"), Variable("WAYLAND_DISPLAY"), Variable("QT_QPA_PLATFORM")};
}

bool DisplayAvailable(const DisplayEnvironment& environment) {
#ifdef __APPLE__
    // The desktop is always there on macOS; it has no display variable to look at.
    static_cast<void>(environment);
    return true;
#else
    return !environment.display.empty() || !environment.waylandDisplay.empty() ||
           DrawsWithoutDisplay(environment.qtPlatform);
#endif
}

bool DisplayAvailable() {
    return DisplayAvailable(CurrentDisplayEnvironment());
}

}  // namespace velmora
