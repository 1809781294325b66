// Reading and writing velmora.ini with the semantics of a Windows private-profile file.
#include "app/settings.h"

// Only the byte-string form is used, so none of the library's wide-character conversions
// (and their extra headers) are needed. Debian's header keeps the template bodies behind
// SI_IMPLEMENTATION; compiling them here makes the shared library (and the ICU it pulls in)
// unnecessary at run time.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "common/number_text.h"

namespace velmora {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSection = "Settings";
constexpr const char* kAddSilence = "Add Silence";
constexpr const char* kRepair = "Repair";
constexpr const char* kLastFolder = "Last Folder";
constexpr const char* kWindowSize = "Window Size";
// Far beyond any settings file this program writes; a bigger file is not ours to parse.
constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{1} << 20;

enum class FileState { Missing, Unreadable, Read };

struct IniText {
    FileState state = FileState::Missing;
    std::string text;
};

// The file's bytes, read here rather than by the library so that a folder, a device or a
// huge file at the settings path counts as unreadable instead of being taken apart.
IniText ReadIniText(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) {
        return {FileState::Missing, {}};
    }
    if (error || !fs::is_regular_file(status)) {
        return {FileState::Unreadable, {}};
    }
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size > kMaxFileBytes) {
        return {FileState::Unreadable, {}};
    }
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad()) {
        return {FileState::Unreadable, {}};
    }
    return {FileState::Read, std::move(text)};
}

// Multi-key so that of two equal keys the first counts, as in private-profile files, and so
// that a save leaves one entry. CSimpleIniA compares names without regard to ASCII case; its
// "Case" sibling would tell "add silence" from "Add Silence".
void Configure(CSimpleIniA& ini) {
    ini.SetMultiKey(true);
    // Written as key=value, the usual form of these files.
    ini.SetSpaces(false);
}

// A section line without its closing "]" makes the library run that line and the next into
// one name with a line break in it, and write it back one line longer on every save. Such a
// file is left exactly as it is rather than made worse.
bool HasBrokenNames(const CSimpleIniA& ini) {
    auto broken = [](const char* name) {
        return std::string_view(name).find_first_of("\r\n") != std::string_view::npos;
    };
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    for (const auto& section : sections) {
        if (broken(section.pItem)) {
            return true;
        }
        CSimpleIniA::TNamesDepend keys;
        ini.GetAllKeys(section.pItem, keys);
        for (const auto& key : keys) {
            if (broken(key.pItem)) {
                return true;
            }
        }
    }
    return false;
}

// The settings folder in the user's configuration folder does not exist before the first
// save. Folders made here are private to the user, as the XDG base directory rules ask.
bool MakeFoldersFor(const std::string& path) {
    std::vector<fs::path> missing;
    std::error_code error;
    for (fs::path folder = fs::path(path).parent_path(); !folder.empty();
         folder = folder.parent_path()) {
        if (fs::exists(folder, error) || error) {
            break;
        }
        missing.push_back(folder);
        if (folder == folder.root_path()) {
            break;
        }
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
        if (!fs::create_directory(*folder, error) && error) {
            return false;
        }
        fs::permissions(*folder, fs::perms::owner_all, fs::perm_options::replace, error);
    }
    return true;
}

bool IsBlankOnly(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

// A key's value, or nothing when the key is missing or has nothing after "=" (as the
// platform's own reading counts it).
std::optional<std::string_view> StoredText(const CSimpleIniA& ini, const char* key) {
    const char* value = ini.GetValue(kSection, key, nullptr);
    if (value == nullptr || IsBlankOnly(value)) {
        return std::nullopt;
    }
    return std::string_view(value);
}

Settings StoredSettings(const CSimpleIniA& ini) {
    Settings stored;
    // Read as a whole number, as the platform's profile reading does: "0.5" is 0, unchecked.
    if (const auto value = StoredText(ini, kAddSilence)) {
        stored.addSilentValue = std::trunc(ReadLeadingNumber(*value)) == 0 ? 0 : 1;
    }
    if (const auto value = StoredText(ini, kRepair)) {
        stored.repair = std::trunc(ReadLeadingNumber(*value)) != 0;
    }
    stored.lastFolder = std::string(StoredText(ini, kLastFolder).value_or(""));
    if (const auto value = StoredText(ini, kWindowSize)) {
        stored.windowSize = WindowSizeFromText(*value);
    }
    return stored;
}

// What a save stores: the box as what it did (a grey box adds no silence), the folder only
// when the file can hold it as it is.
Settings ToStore(const Settings& settings) {
    Settings stored = settings;
    stored.addSilentValue = settings.addSilentValue == 1 ? 1 : 0;
    if (!IsStorableFolder(stored.lastFolder)) {
        stored.lastFolder.clear();
    }
    return stored;
}

// True when the file already gives every value the save stores.
bool Holds(const CSimpleIniA& ini, const Settings& toStore) {
    const Settings stored = StoredSettings(ini);
    // A missing key reads as the default but still has to be written.
    return StoredText(ini, kAddSilence) && stored.addSilentValue == toStore.addSilentValue &&
           stored.repair == toStore.repair &&
           (toStore.lastFolder.empty() || stored.lastFolder == toStore.lastFolder) &&
           (!toStore.windowSize || stored.windowSize == toStore.windowSize);
}

// The keys a save writes, with their texts; the folder and the size only when given.
// "Repair" is written once it is checked or stored: a file from before it existed, with
// the box never checked, already says what the box is.
std::vector<std::pair<const char*, std::string>> Entries(const CSimpleIniA& ini,
                                                         const Settings& toStore) {
    std::vector<std::pair<const char*, std::string>> entries = {
        {kAddSilence, std::to_string(toStore.addSilentValue)}};
    if (toStore.repair || ini.GetValue(kSection, kRepair, nullptr) != nullptr) {
        entries.emplace_back(kRepair, toStore.repair ? "1" : "0");
    }
    if (!toStore.lastFolder.empty()) {
        entries.emplace_back(kLastFolder, toStore.lastFolder);
    }
    if (toStore.windowSize) {
        entries.emplace_back(kWindowSize, WindowSizeText(*toStore.windowSize));
    }
    return entries;
}

}  // namespace

Settings LoadSettings(const std::string& settingsPath) {
    const IniText file = ReadIniText(settingsPath);
    if (file.state != FileState::Read) {
        return {};
    }
    CSimpleIniA ini;
    Configure(ini);
    if (ini.LoadData(file.text) < 0) {
        return {};
    }
    return StoredSettings(ini);
}

bool SaveSettings(const std::string& settingsPath, const Settings& settings) {
    const IniText file = ReadIniText(settingsPath);
    if (file.state == FileState::Unreadable) {
        return false;
    }
    CSimpleIniA ini;
    Configure(ini);
    if (file.state == FileState::Read && (ini.LoadData(file.text) < 0 || HasBrokenNames(ini))) {
        return false;
    }
    const Settings toStore = ToStore(settings);
    // Every close saves, mostly what was there. The library does not write back exactly what
    // it read (blanks, byte-order marks and blank lines around comments move, on some files
    // a little more on every save), so a file that already holds the values is left byte for
    // byte as the user wrote it.
    if (file.state == FileState::Read && Holds(ini, toStore)) {
        return true;
    }
    for (const auto& [key, text] : Entries(ini, toStore)) {
        if (ini.SetValue(kSection, key, text.c_str(), nullptr, true) < 0) {
            return false;
        }
    }
    // The library takes a byte-order mark off the start of what it reads; without it written
    // back, every save would take one more off and shift the next bytes into a line start.
    const bool byteOrderMark = file.text.starts_with("\xEF\xBB\xBF");
    std::string written;
    if (ini.Save(written, byteOrderMark) < 0) {
        return false;
    }
    // The library drops the lines it cannot place, and what followed them can then read as
    // something else (a byte-order mark that comes to the start of the file and is taken
    // off, with a section line behind it). What is written must read back as itself and
    // give the values saved; a file that would not is left as it is rather than made worse.
    CSimpleIniA check;
    Configure(check);
    std::string again;
    if (check.LoadData(written) < 0 || HasBrokenNames(check) || !Holds(check, toStore) ||
        check.Save(again, byteOrderMark) < 0 || again != written || !MakeFoldersFor(settingsPath)) {
        return false;
    }
    std::ofstream out(settingsPath, std::ios::binary | std::ios::trunc);
    out.write(written.data(), static_cast<std::streamsize>(written.size()));
    out.close();
    return !out.fail();
}

}  // namespace velmora
