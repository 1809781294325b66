// velmora.ini through the system's private-profile functions, on Windows.
#include "app/settings.h"

#include <windows.h>

#include <vector>

#include "common/system_text_win32.h"

namespace velmora {

namespace {

constexpr const wchar_t* kSection = L"Settings";
constexpr const wchar_t* kAddSilence = L"Add Silence";
constexpr const wchar_t* kRepair = L"Repair";
constexpr const wchar_t* kLastFolder = L"Last Folder";
constexpr const wchar_t* kWindowSize = L"Window Size";

// The key's text with the blanks around it taken off, empty when it is missing.
std::string StoredText(const wchar_t* key, const std::wstring& file) {
    // Room for the longest folder name the system allows.
    std::vector<wchar_t> text(32768, L'\0');
    ::GetPrivateProfileStringW(kSection, key, L"", text.data(), static_cast<DWORD>(text.size()),
                               file.c_str());
    return Utf8FromWide(text.data());
}

bool Store(const wchar_t* key, const std::string& text, const std::wstring& file) {
    return ::WritePrivateProfileStringW(kSection, key, WideFromUtf8(text).c_str(),
                                        file.c_str()) != FALSE;
}

}  // namespace

Settings LoadSettings(const std::string& settingsPath) {
    const std::wstring file = WideFromUtf8(settingsPath);
    Settings stored;
    // The system reads the leading whole number and gives the default for a missing file,
    // section or key. Any number but 0 means checked: the grey state is never restored.
    stored.addSilentValue =
        ::GetPrivateProfileIntW(kSection, kAddSilence, 1, file.c_str()) == 0 ? 0 : 1;
    stored.repair = ::GetPrivateProfileIntW(kSection, kRepair, 0, file.c_str()) != 0;
    stored.lastFolder = StoredText(kLastFolder, file);
    stored.windowSize = WindowSizeFromText(StoredText(kWindowSize, file));
    return stored;
}

bool SaveSettings(const std::string& settingsPath, const Settings& settings) {
    // A folder without write permission (Program Files, for instance) makes this fail; the
    // stored state then stays as it was, and nobody is told.
    const std::wstring file = WideFromUtf8(settingsPath);
    bool saved = Store(kAddSilence, settings.addSilentValue == 1 ? "1" : "0", file);
    // Written once checked or stored, as on the other systems.
    if (saved && (settings.repair || !StoredText(kRepair, file).empty())) {
        saved = Store(kRepair, settings.repair ? "1" : "0", file);
    }
    if (saved && IsStorableFolder(settings.lastFolder)) {
        saved = Store(kLastFolder, settings.lastFolder, file);
    }
    if (saved && settings.windowSize) {
        saved = Store(kWindowSize, WindowSizeText(*settings.windowSize), file);
    }
    return saved;
}

}  // namespace velmora
