// The report file: the information text saved beside the target after a complete write.
#include "correction/report_file.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/byte_file.h"
#include "platform/files/file_safety.h"
#include "report/report_text.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

// Whether the file begins as every report of this program's does. Only the words count, so
// a report whose line ends were changed by an editor is still known.
bool IsEarlierReport(const TargetPlace& place) {
    InputFile file;
    if (!file.Open(*place.folder, place.name)) {
        return false;
    }
    const std::string_view heading =
        kSourceInformationHeading.substr(0, kSourceInformationHeading.find('\r'));
    std::vector<std::uint8_t> start(heading.size());
    return file.Read(start.data(), start.size()) == start.size() &&
           std::string_view(reinterpret_cast<const char*>(start.data()), start.size()) == heading;
}

// Why the report may not go under `place`; empty when it may.
std::string WhyNotUnder(const TargetPlace& place, const TargetPlace& target,
                        const FileIdentity& source) {
    const bool isTarget = place.name == target.name ||
                          (target.kind == TargetPlace::Kind::Regular &&
                           place.kind == TargetPlace::Kind::Regular &&
                           place.identity == target.identity);
    if (isTarget || (place.kind == TargetPlace::Kind::Regular && place.identity == source)) {
        return "would replace the source or the target file";
    }
    switch (place.kind) {
        case TargetPlace::Kind::Missing:
            return "";
        case TargetPlace::Kind::Regular:
            return IsEarlierReport(place) ? "" : "is a file that is not a report of Velmora's";
        case TargetPlace::Kind::NotRegular:
            return "is not a regular file";
        case TargetPlace::Kind::Unreachable:
            break;
    }
    return "could not be looked at: " + place.reason;
}

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

}  // namespace

std::string ReportNameFor(const std::string& targetName) {
    // The extension, whatever its length, gives way to ".txt" (out.eac3 gives out.txt). A
    // name without one, or with only a leading dot (".ac3"), keeps all of it, so that the
    // report never becomes a bare ".txt" or climbs into the folder part.
    const std::size_t folderEnd = targetName.find_last_of(
        std::string("/") + static_cast<char>(fs::path::preferred_separator));
    const std::size_t fileNameStart = folderEnd == std::string::npos ? 0 : folderEnd + 1;
    const std::size_t dot = targetName.rfind('.');
    if (dot == std::string::npos || dot <= fileNameStart) {
        return targetName + ".txt";
    }
    return targetName.substr(0, dot) + ".txt";
}

ReportPlace ChooseReportPlace(const TargetPlace& target, const FileIdentity& source) {
    ReportPlace result;
    result.place = LookUpBeside(target, ReportNameFor(target.name));
    const std::string whyNotUsual = WhyNotUnder(result.place, target, source);
    if (!whyNotUsual.empty()) {
        const std::string usual = result.place.path;
        result.place = LookUpBeside(target, target.name + ".txt");
        const std::string whyNotOther = WhyNotUnder(result.place, target, source);
        if (!whyNotOther.empty()) {
            result.message = "Report file " + Quoted(usual) + " " + whyNotUsual + ", and " +
                             Quoted(result.place.path) + " " + whyNotOther +
                             ". Nothing was written.";
            return result;
        }
        result.renamed = true;
        result.message = "Report file " + Quoted(usual) + " " + whyNotUsual +
                         "; the report was saved as " + Quoted(result.place.path) + ".";
    }
    // An earlier report that may not be replaced stops the write before it begins, rather
    // than leave a new target beside an old report.
    if (const std::string why = WhyNotReplaceable(result.place); !why.empty()) {
        result.message = FileFailure("Report", result.place.path, "replaced", why);
        result.renamed = false;
        return result;
    }
    result.usable = true;
    return result;
}

}  // namespace velmora
