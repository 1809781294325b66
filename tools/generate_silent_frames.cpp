// Build step: writes the C++ source that defines velmora::SilentFrameTemplates.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "silence/ac3_frame_size.h"
#include "silence/silent_frame_set.h"

namespace {

// One comment line saying what a frame is, so the generated file explains itself.
std::string Describe(const velmora::SilentFrameEntry& entry) {
    const velmora::SilentAc3FrameParams& p = entry.params;
    std::ostringstream text;
    text << "// " << entry.name << ": bytes " << entry.offset << "-"
         << entry.offset + entry.size - 1 << ", fscod " << p.fscod << ", frmsizecod "
         << p.frmsizecod << " (" << velmora::Ac3NominalBitRate(p.frmsizecod).value_or(0)
         << " kbit/s), acmod " << p.acmod << ", lfeon " << p.lfeon << ", dialnorm " << p.dialnorm;
    return text.str();
}

std::string Hex(std::uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " <output.cpp>\n";
        return 2;
    }
    const auto table = velmora::BuildSilentFrameTable();
    if (!table) {
        std::cerr << "the silent frames could not be built from their parameters\n";
        return 1;
    }

    std::ostringstream code;
    code << "// Generated at build time by tools/generate_silent_frames from the frames' parameters; "
            "do not edit.\n"
         << "#include \"silence/silent_frames.h\"\n\n"
         << "namespace velmora {\n\n";
    for (const velmora::SilentFrameEntry& entry : velmora::SilentFrameEntries()) {
        code << Describe(entry) << "\n";
    }
    code << "const std::array<std::uint8_t, 4096> SilentFrameTemplates = {{\n";
    constexpr std::size_t kPerLine = 12;
    for (std::size_t i = 0; i < table->size(); ++i) {
        code << (i % kPerLine == 0 ? "    " : " ") << Hex((*table)[i]) << ",";
        if (i % kPerLine == kPerLine - 1 || i + 1 == table->size()) {
            code << "\n";
        }
    }
    code << "}};\n\n}  // namespace velmora\n";

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << code.str();
    out.close();
    if (!out) {
        std::cerr << "cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
