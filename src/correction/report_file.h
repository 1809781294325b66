// The report file: the information text saved beside the target after a complete write.
#pragma once

#include <string>

namespace velmora {

// How saving the report went.
struct ReportSave {
    bool saved = false;
    // When not saved: why, naming the file. When saved under another name: says so.
    std::string message;
    // Where the report went (empty when none was written).
    std::string reportName;
    // The usual report name was not free for the report, so another was used.
    bool renamed = false;
};

// "movie_fix.ac3" -> "movie_fix.txt": the target name less its last four characters.
[[nodiscard]] std::string ReportNameFor(const std::string& targetName);

// Saves `text` as the report for a write from sourceName to targetName, replacing the file
// under the usual name only when it is an earlier report of this program's. When the usual
// name is the source, the target, or anything else (a file of the user's, a folder, a pipe, a
// device), the target's full name plus ".txt" is tried. The report appears under its name
// only when it is complete.
[[nodiscard]] ReportSave SaveReport(const std::string& sourceName, const std::string& targetName,
                                    const std::string& text);

}  // namespace velmora
