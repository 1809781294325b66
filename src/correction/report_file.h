// The report file: the information text saved beside the target after a complete write.
#pragma once

#include <string>

#include "platform/files/byte_file.h"
#include "platform/files/file_safety.h"

namespace velmora {

// Where the report of a write goes, chosen before anything is made.
struct ReportPlace {
    // False: no name is free for it, and the write is refused (message says why).
    bool usable = false;
    TargetPlace place;
    // The usual report name was not free for the report, so another was chosen; message
    // says which and why.
    bool renamed = false;
    std::string message;
};

// "movie_fix.ac3" -> "movie_fix.txt", "out.eac3" -> "out.txt": the extension becomes ".txt".
[[nodiscard]] std::string ReportNameFor(const std::string& targetName);

// The report goes beside the file really written (`target`, whose folder is open), under
// ReportNameFor its name. It replaces the file there only when that is an earlier report of
// this program's; when the usual name is the source, the target, or anything else (a file of
// the user's, a folder, a pipe, a device, a link), the target's full name plus ".txt" is
// tried.
[[nodiscard]] ReportPlace ChooseReportPlace(const TargetPlace& target,
                                            const FileIdentity& source);

}  // namespace velmora
