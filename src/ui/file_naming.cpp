// What a source's name tells: its format, a target name to propose, a delay written into it.
#include "ui/file_naming.h"

#include <algorithm>

#include "common/ascii_text.h"
#include "common/number_text.h"
#include "formats/format_table.h"

namespace velmora {

namespace {

std::string_view LastCharacters(std::string_view text, std::size_t count) {
    return text.size() <= count ? text : text.substr(text.size() - count);
}

// Names of a format that its type word does not cover, as the extension stands in the name
// (".mp3", ".EAC3"); empty for every other name.
std::string_view KeptExtension(std::string_view name, const FormatRow& format) {
    for (const std::string_view ending : format.ownExtensions) {
        const std::string_view tail = LastCharacters(name, ending.size());
        if (!ending.empty() && tail.size() == ending.size() && AsciiUpperCase(tail) == ending) {
            return tail;
        }
    }
    return {};
}

}  // namespace

FileType FileTypeFromExtension(std::string_view name) {
    // A whole extension first: ".adts" ends in "dts" but is AAC.
    for (const FormatRow& format : Formats()) {
        if (!KeptExtension(name, format).empty()) {
            return format.type;
        }
    }
    // No dot is needed in front: "filedts" is a DTS file too.
    const std::string ending = AsciiUpperCase(LastCharacters(name, 3));
    for (const FormatRow& format : Formats()) {
        if (ending == format.word) {
            return format.type;
        }
    }
    return FileType::Ac3;
}

std::string ProposeTargetName(const std::string& sourceName, FileType type) {
    const FormatRow& format = FormatOf(type);
    const std::string_view word = format.word;
    // An .mp3 stays an .mp3 and an .eac3 an .eac3: names the type word does not cover keep
    // their own extension.
    const std::string_view kept = KeptExtension(sourceName, format);
    const std::string extension(kept.empty() ? format.targetExtension : kept);
    // A format mark such as "Film AC3 DELAY -40ms.ac3" marks where the film's own name ends.
    // The extension's letters never count, and the search is case-exact, so "movie.AC3"
    // is not mistaken for a mark.
    const std::size_t extensionLength = std::max<std::size_t>(kept.size(), 4) - 1;
    const std::size_t searchable =
        sourceName.size() >= extensionLength ? sourceName.size() - extensionLength : 0;
    const std::string_view head = std::string_view(sourceName).substr(0, searchable);
    const std::size_t mark = head.rfind(word);
    // The character in front of the mark (a blank, dash or underscore) is dropped with it. A
    // mark with fewer than two characters before it would leave no name at all, so such a
    // name is treated like one without a mark.
    if (mark != std::string_view::npos && mark >= 2) {
        return sourceName.substr(0, mark - 1) + extension;
    }
    const std::size_t stem =
        sourceName.size() >= extensionLength + 1 ? sourceName.size() - extensionLength - 1 : 0;
    return sourceName.substr(0, stem) + "_fix" + extension;
}

std::optional<DelayMark> FindDelayMark(const std::string& sourceName) {
    // The file's own name: a folder called "DELAY 7" says nothing of the file in it.
    const std::size_t slash = sourceName.find_last_of("/\\");
    const std::size_t own = slash == std::string::npos ? 0 : slash + 1;
    const std::string name = AsciiUpperCase(sourceName);
    const auto isDigit = [&name](std::size_t at) {
        return at < name.size() && name[at] >= '0' && name[at] <= '9';
    };
    // Demuxers write the mark in many ways ("DELAY -66ms", "_DELAY_957ms_", "[DELAY 0ms]",
    // "delay=+12.5 ms"): the word, separators, a sign right before the digits, a fraction.
    // Where a name holds several, the last is the one that was added last.
    std::optional<DelayMark> mark;
    for (std::size_t at = name.find("DELAY", own); at != std::string::npos;
         at = name.find("DELAY", at + 1)) {
        std::size_t from = at + 5;
        while (from < name.size() &&
               std::string_view(" _[:=").find(name[from]) != std::string_view::npos) {
            ++from;
        }
        std::size_t end = from;
        if (end < name.size() && (name[end] == '-' || name[end] == '+')) {
            ++end;
        }
        if (!isDigit(end)) {
            continue;
        }
        while (isDigit(end)) {
            ++end;
        }
        if (end + 1 < name.size() && name[end] == '.' && isDigit(end + 1)) {
            for (++end; isDigit(end); ++end) {
            }
        }
        // "ms", or " ms", belongs to the mark.
        const std::size_t unit = end < name.size() && name[end] == ' ' ? end + 1 : end;
        if (name.compare(unit, 2, "MS") == 0) {
            end = unit + 2;
        }
        // Kept as a full 32-bit value: a delay over 32.7 s written into a name is meant.
        mark = DelayMark{ReadWholeMilliseconds(std::string_view(name).substr(from)), from,
                         end - from};
    }
    return mark;
}

std::optional<std::int32_t> DelayFromFileName(const std::string& sourceName) {
    const std::optional<DelayMark> mark = FindDelayMark(sourceName);
    return mark ? std::optional(mark->delay) : std::nullopt;
}

std::string NameWithDelay(const std::string& sourceName, const DelayMark& mark,
                          std::int64_t delayMs) {
    std::string name = sourceName;
    return name.replace(mark.at, mark.length, std::to_string(delayMs) + "ms");
}

}  // namespace velmora
