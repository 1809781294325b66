// The one remembered choice, the silence check box, kept in velmora.ini (where that file lies:
// LocateSettingsFile).
#pragma once

#include <string>

namespace velmora {

// The check box value stored under [Settings] "Add Silence" of the file at settingsPath.
// A missing or unreadable file, section or key, or an empty value, gives 1 (checked). The
// value is read as its leading whole number (blanks around it accepted, text that is not a
// number reads 0): 0 gives unchecked, any other number checked. The grey state is never
// restored, since the user could not set it and it would silently mean "no silence".
[[nodiscard]] int LoadSettings(const std::string& settingsPath);

// Stores 1 for a checked box and 0 otherwise (a grey box adds no silence, so it is stored as
// what it did). Other sections, keys and comments in the file are kept; names are compared
// without regard to case. Returns false when the file could not be written, which the
// program does not report: the stored state simply stays as it was. A file that exists but
// cannot be read is left alone rather than replaced by one holding only this key. Missing
// folders on the way to the file are made, readable by the user alone.
bool SaveSettings(const std::string& settingsPath, int addSilentValue);

}  // namespace velmora
