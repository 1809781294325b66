// Finding and loading the window module that the program uses only when it shows a window.
#include "platform/window_module.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

TEST(WindowModule, LooksBesideTheProgramThenInItsLibFolder) {
    test::ScratchDir dir;
    fs::create_directories(dir.Path() / "bin");
    fs::create_directories(dir.Path() / "lib" / "velmora");
    const std::string bin = (dir.Path() / "bin").string();
    EXPECT_EQ(FindWindowModule(bin), "");

    test::WriteTextFile(dir.Path() / "lib" / "velmora" / kWindowModuleName, "x");
    EXPECT_EQ(FindWindowModule(bin), (dir.Path() / "lib" / "velmora" / kWindowModuleName).string());

    test::WriteTextFile(dir.Path() / "bin" / kWindowModuleName, "x");
    EXPECT_EQ(FindWindowModule(bin), (dir.Path() / "bin" / kWindowModuleName).string());

    // A folder of that name is no module.
    fs::remove(dir.Path() / "bin" / kWindowModuleName);
    fs::create_directory(dir.Path() / "bin" / kWindowModuleName);
    EXPECT_EQ(FindWindowModule(bin), (dir.Path() / "lib" / "velmora" / kWindowModuleName).string());
}

TEST(WindowModule, ABrokenModuleIsAnErrorNotACrash) {
    test::ScratchDir dir;
    const std::string fake = dir.File(kWindowModuleName);
    test::WriteTextFile(fake, "not a shared object");
    int argc = 1;
    char name[] = "velmora";
    char* argv[] = {name, nullptr};
    const LoadedWindow loaded = LoadWindowModule(fake, argc, argv);
    EXPECT_EQ(loaded.frontEnd, nullptr);
    EXPECT_NE(loaded.error, "");
    const LoadedWindow missing = LoadWindowModule(dir.File("gone.so"), argc, argv);
    EXPECT_EQ(missing.frontEnd, nullptr);
    EXPECT_NE(missing.error, "");
}

TEST(WindowModule, BatchRunsNeverMapTheWindowToolkit) {
    const std::string program = std::string(VELMORA_BINARY_DIR) + "/src/velmora";
    const auto r = test::RunCommand("ldd " + test::ShellQuote(program));
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out.find("libQt6"), std::string::npos) << r.out;
}

TEST(WindowModule, TheBuiltModuleMakesAHiddenWindow) {
    const std::string module = FindWindowModule(std::string(VELMORA_BINARY_DIR) + "/src");
    if (module.empty()) {
        GTEST_SKIP() << "built without the window";
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "velmora";
    char* argv[] = {name, nullptr};
    LoadedWindow loaded = LoadWindowModule(module, argc, argv);
    ASSERT_NE(loaded.frontEnd, nullptr) << loaded.error;
    MainView& view = loaded.frontEnd->View();
    view.SetText(TextBox::ed_Info, "Source file information:\r\n\r\n");
    EXPECT_EQ(view.Text(TextBox::ed_Info), "Source file information:\r\n\r\n");
    view.SetAddSilentValue(0);
    EXPECT_EQ(view.AddSilentValue(), 0);
}

}  // namespace
}  // namespace velmora
