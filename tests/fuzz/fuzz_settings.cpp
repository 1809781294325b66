// Fuzz target: the settings file read, and rewritten, whatever it holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/settings.h"
#include "fuzz_scratch.h"

using velmora::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = (velmora::fuzz::ScratchFolder() / "velmora.ini").string();
    if (!velmora::fuzz::WriteBytes(path, data, size)) {
        return 0;
    }
    const int loaded = velmora::LoadSettings(path).addSilentValue;
    Require(loaded == 0 || loaded == 1, "LoadSettings: a check box value, never the grey state");

    // Whatever the file held, what is saved is what the next start reads. The grey state is
    // stored as the unchecked box it acts like.
    velmora::Settings grey;
    grey.addSilentValue = 2;
    if (velmora::SaveSettings(path, grey)) {
        Require(velmora::LoadSettings(path).addSilentValue == 0,
                "settings: a grey box reads back unchecked");
    }
    const velmora::Settings window{.addSilentValue = 1,
                                   .lastFolder = "/films/new",
                                   .windowSize = velmora::WindowSize{900, 700}};
    if (velmora::SaveSettings(path, window)) {
        const velmora::Settings loaded = velmora::LoadSettings(path);
        Require(loaded.addSilentValue == 1 && loaded.lastFolder == window.lastFolder &&
                    loaded.windowSize == window.windowSize,
                "settings: what a window run saved reads back as it was");
        // Saving the same value again must leave the file as it is: every close rewrites it,
        // and the user's other lines must not drift from run to run. While a known drift is
        // being fixed, VELMORA_FUZZ_ALLOW_SETTINGS_DRIFT=1 lets a campaign look past it.
        static const bool allowDrift = std::getenv("VELMORA_FUZZ_ALLOW_SETTINGS_DRIFT") != nullptr;
        if (allowDrift) {
            velmora::fuzz::ClearScratchFolder();
            return 0;
        }
        const auto once = velmora::fuzz::ReadBytes(path);
        Require(velmora::SaveSettings(path, window),
                "settings: a file just written can be rewritten");
        const auto twice = velmora::fuzz::ReadBytes(path);
        Require(once.has_value() && twice.has_value() && *once == *twice,
                "settings: saving an unchanged value changes nothing");
    }
    velmora::fuzz::ClearScratchFolder();
    return 0;
}
