// What the window remembers between runs, kept in velmora.ini (where that file lies:
// LocateSettingsFile): the silence check box, the last folder used, the window's size.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ui/main_view.h"

namespace velmora {

struct Settings {
    // chk_AddSilent as stored: 0 unchecked, 1 checked.
    int addSilentValue = 1;
    // chk_Repair as stored ("Repair=0|1"); unchecked unless stored.
    bool repair = false;
    // Empty, and nothing, when not stored; when saving, they leave the stored keys alone.
    std::string lastFolder;
    std::optional<WindowSize> windowSize;
};

// The values under [Settings] of the file at settingsPath: "Add Silence", "Repair", "Last
// Folder", "Window Size". A missing or unreadable file, section or key, or an empty value,
// gives the default (checked, unchecked repair, no folder, no size); "Repair" is read as
// "Add Silence" is. "Add Silence" is read as its leading whole number
// (blanks around it accepted, text that is not a number reads 0): 0 gives unchecked, any
// other number checked. The grey state is never restored, since the user could not set it
// and it would silently mean "no silence". A size that is not WIDTHxHEIGHT is passed over.
[[nodiscard]] Settings LoadSettings(const std::string& settingsPath);

// Stores 1 for a checked box and 0 otherwise (a grey box adds no silence, so it is stored as
// what it did), and the folder and size when given. A folder the file cannot hold as it is
// (a line break, blanks at either end) is not stored. Other sections, keys and comments in
// the file are kept; names are compared without regard to case; a file that already holds
// these values stays byte for byte. Returns false when the file could not be written, which
// the program does not report: the stored state simply stays as it was. A file that exists
// but cannot be read is left alone rather than replaced by one holding only these keys.
// Missing folders on the way to the file are made, readable by the user alone.
bool SaveSettings(const std::string& settingsPath, const Settings& settings);

// "Window Size" as the file holds it: "780x600".
[[nodiscard]] std::optional<WindowSize> WindowSizeFromText(std::string_view text);
[[nodiscard]] std::string WindowSizeText(WindowSize size);
[[nodiscard]] bool IsStorableFolder(std::string_view folder);

}  // namespace velmora
