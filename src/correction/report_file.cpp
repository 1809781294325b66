// The report file: the information text saved beside the target after a complete write.
#include "correction/report_file.h"

#include <filesystem>

#include "correction/byte_file.h"
#include "correction/file_safety.h"

namespace velmora {

namespace fs = std::filesystem;

std::string ReportNameFor(const std::string& targetName) {
    // The name loses its last four characters (normally the dot and a three-letter extension).
    // A file name of four characters or fewer keeps all of them, so that the report never
    // climbs into the folder part or ends up as a bare ".txt".
    const std::size_t folderEnd = targetName.find_last_of(
        std::string("/") + static_cast<char>(fs::path::preferred_separator));
    const std::size_t fileNameStart = folderEnd == std::string::npos ? 0 : folderEnd + 1;
    if (targetName.size() - fileNameStart <= 4) {
        return targetName + ".txt";
    }
    return targetName.substr(0, targetName.size() - 4) + ".txt";
}

ReportSave SaveReport(const std::string& sourceName, const std::string& targetName,
                      const std::string& text) {
    ReportSave result;
    const std::string usual = ReportNameFor(targetName);
    auto clashes = [&](const std::string& name) {
        return name == sourceName || name == targetName || SameExistingFile(name, sourceName) ||
               SameExistingFile(name, targetName);
    };
    std::string reportName = usual;
    if (clashes(reportName)) {
        reportName = targetName + ".txt";
        if (clashes(reportName)) {
            result.message = "Report file \"" + usual +
                             "\" would replace the source or the target file; no report was saved.";
            return result;
        }
        result.renamed = true;
        result.message = "Report file \"" + usual +
                         "\" would replace the source or the target file; the report was saved as "
                         "\"" +
                         reportName + "\".";
    }

    OutputFile report;
    if (!report.Create(reportName)) {
        result.message = FileFailure("Report", reportName, "created", report.Reason());
        return result;
    }
    if (!report.Write(text) || !report.Close()) {
        result.message = FileFailure("Report", reportName, "written", report.Reason());
        static_cast<void>(report.Close());
        RemoveIncompleteFile(reportName);
        return result;
    }
    result.saved = true;
    result.reportName = reportName;
    return result;
}

}  // namespace velmora
