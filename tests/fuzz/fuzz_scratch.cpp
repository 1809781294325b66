// What the fuzz targets share: a private scratch folder, whole-file I/O and a hard check.
#include "fuzz_scratch.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

namespace velmora::fuzz {

namespace fs = std::filesystem;

namespace {

class OwnFolder {
  public:
    OwnFolder() {
        std::random_device random;
        const fs::path base = fs::temp_directory_path();
        // A random name, retried on a clash, keeps parallel fuzzers apart without OS calls.
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path candidate = base / ("velmora-fuzz-" + std::to_string(random()));
            std::error_code error;
            if (fs::create_directory(candidate, error)) {
                path_ = candidate;
                return;
            }
        }
        std::fprintf(stderr, "fuzz: cannot make a scratch folder under %s\n", base.c_str());
        std::abort();
    }
    ~OwnFolder() {
        std::error_code error;
        fs::remove_all(path_, error);
    }
    OwnFolder(const OwnFolder&) = delete;
    OwnFolder& operator=(const OwnFolder&) = delete;

    [[nodiscard]] const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

}  // namespace

const fs::path& ScratchFolder() {
    static const OwnFolder folder;
    return folder.Path();
}

void ClearScratchFolder() {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(ScratchFolder(), error)) {
        std::error_code removeError;
        fs::remove_all(entry.path(), removeError);
    }
}

bool WriteBytes(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    return static_cast<bool>(out);
}

std::optional<std::vector<std::uint8_t>> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "fuzz: property broken: %s\n", what);
        std::abort();
    }
}

}  // namespace velmora::fuzz
