// Loads the desktop window only when a run shows one.
#include "platform/window_module.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace velmora {

namespace {

using MakeWindowFrontEnd = FrontEnd* (*)(int*, char**);

}  // namespace

std::string FindWindowModule(const std::string& programDirectory) {
    namespace fs = std::filesystem;
    const fs::path folder(programDirectory);
    for (const fs::path& candidate :
         {folder / kWindowModuleName, folder / ".." / "lib" / "velmora" / kWindowModuleName}) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) {
            return candidate.lexically_normal().string();
        }
    }
    return {};
}

LoadedWindow LoadWindowModule(const std::string& moduleName, int& argc, char** argv) {
    LoadedWindow loaded;
    void* module = dlopen(moduleName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* reason = dlerror();
        loaded.error = reason != nullptr ? reason : "cannot load " + moduleName;
        return loaded;
    }
    // POSIX leaves converting an object pointer to a function pointer to the platform;
    // every system with dlopen allows it.
    const auto make = reinterpret_cast<MakeWindowFrontEnd>(dlsym(module, kWindowModuleEntry));
    if (make == nullptr) {
        loaded.error = moduleName + " has no window in it";
        return loaded;
    }
    loaded.frontEnd.reset(make(&argc, argv));
    if (!loaded.frontEnd) {
        loaded.error = "the window could not be created";
    }
    return loaded;
}

}  // namespace velmora
