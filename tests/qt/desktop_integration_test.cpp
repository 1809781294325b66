// `cmake --install` puts the desktop file, the icon and the .mpa file type where desktops look.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

TEST(DesktopIntegration, InstallPutsDesktopFileIconAndFileTypeInPlace) {
    test::ScratchDir prefix;
    const test::CommandResult installed =
        test::RunCommand("cmake --install " + test::ShellQuote(VELMORA_BINARY_DIR) + " --prefix " +
                         test::ShellQuote(prefix.Path().string()));
    ASSERT_EQ(installed.exitStatus, 0) << installed.err;
    const fs::path share = prefix.Path() / "share";

    const std::string desktop = test::ReadTextFile(share / "applications" / "org.velmora.Velmora.desktop");
    for (const char* line : {"[Desktop Entry]\n", "\nType=Application\n", "\nName=Velmora\n",
                             // %f: a file manager's "Open with" hands over the one file.
                             "\nExec=velmora %f\n", "\nIcon=velmora\n"}) {
        EXPECT_NE(desktop.find(line), std::string::npos) << line;
    }
    // .ac3 and .dts by the types every desktop knows; .mpa by our own.
    const std::size_t mimeLine = desktop.find("\nMimeType=");
    ASSERT_NE(mimeLine, std::string::npos);
    const std::string mimeTypes =
        desktop.substr(mimeLine, desktop.find('\n', mimeLine + 1) - mimeLine);
    for (const char* type : {"audio/ac3;", "audio/vnd.dts;", "audio/mp2;", "audio/mpeg;",
                             "audio/x-mpeg-elementary;", "audio/aac;", "audio/x-wav;", "audio/vnd.wave;"}) {
        EXPECT_NE(mimeTypes.find(type), std::string::npos) << type;
    }

    const std::string fileType = test::ReadTextFile(share / "mime" / "packages" / "velmora.xml");
    EXPECT_NE(fileType.find("<mime-type type=\"audio/x-mpeg-elementary\">"), std::string::npos);
    // Only the names the shared MIME database lacks.
    for (const char* glob : {"*.mpa", "*.mp1", "*.m2a", "*.rf64", "*.bw64"}) {
        EXPECT_NE(fileType.find("<glob pattern=\"" + std::string(glob) + "\"/>"), std::string::npos)
            << glob;
    }
    for (const char* known : {"*.mp2", "*.aac", "*.wav"}) {
        EXPECT_EQ(fileType.find(known), std::string::npos) << known;
    }

    const std::string icon =
        test::ReadTextFile(share / "icons" / "hicolor" / "scalable" / "apps" / "velmora.svg");
    EXPECT_NE(icon.find("<svg xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);

    // The installed program finds its window module, whatever the system's libdir is called.
    EXPECT_TRUE(fs::is_regular_file(prefix.Path() / "bin" / "velmora"));
    EXPECT_TRUE(fs::is_regular_file(prefix.Path() / "lib" / "velmora" / "velmora-qt.so"));
    EXPECT_TRUE(fs::is_regular_file(share / "man" / "man1" / "velmora.1.gz"));
}

}  // namespace
}  // namespace velmora
