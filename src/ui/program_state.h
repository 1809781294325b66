// The state the whole program shares for one run; one object so every test starts fresh.
#pragma once

#include <string>

#include "analysis/stream_info.h"
#include "formats/file_type.h"

namespace velmora {

struct ProgramState {
    std::string SourceName;
    std::string TargetName;
    // Set for the rest of the run by a batch run: Write then overwrites without asking.
    bool BatchMode = false;
    std::string SettingsPath;
    // The folder of the last file chosen, where the next dialog opens (kept between runs).
    std::string LastFolder;
    FileType fileType = FileType::Ac3;
    StreamInfo streamInfo;
};

}  // namespace velmora
