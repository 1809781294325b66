// velmora.ini through the system's private-profile functions, on Windows.
#include "app/settings.h"

#include <windows.h>

#include "common/system_text_win32.h"

namespace velmora {

namespace {

constexpr const wchar_t* kSection = L"Settings";
constexpr const wchar_t* kKey = L"Add Silence";
constexpr int kDefaultValue = 1;

}  // namespace

int LoadSettings(const std::string& settingsPath) {
    // The system reads the leading whole number and gives the default for a missing file,
    // section or key. Any number but 0 means checked: the grey state is never restored.
    const UINT value =
        ::GetPrivateProfileIntW(kSection, kKey, kDefaultValue, WideFromUtf8(settingsPath).c_str());
    return value == 0 ? 0 : 1;
}

bool SaveSettings(const std::string& settingsPath, int addSilentValue) {
    // A folder without write permission (Program Files, for instance) makes this fail; the
    // stored state then stays as it was, and nobody is told.
    return ::WritePrivateProfileStringW(kSection, kKey, addSilentValue == 1 ? L"1" : L"0",
                                        WideFromUtf8(settingsPath).c_str()) != FALSE;
}

}  // namespace velmora
