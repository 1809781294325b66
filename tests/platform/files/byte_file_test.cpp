// The file layer: exclusive creation, and the positioned writes a frame walk patches with.
#include "platform/files/byte_file.h"
#include "correction/read_ahead.h"

#include <gtest/gtest.h>

#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "common/system_text_win32.h"
#endif

#include <filesystem>

#include "support/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

TEST(ByteFile, CreatesOnlyWhatDoesNotExist) {
    test::ScratchDir dir;
    test::WriteFile(dir.File("taken"), Bytes(4, 9));
#ifdef _WIN32
    // Links need a privilege on Windows; the system's words differ too.
    const std::vector<const char*> names = {"taken"};
    const std::string exists = SystemErrorText(ERROR_FILE_EXISTS);
#else
    fs::create_symlink(dir.File("nowhere"), dir.Path() / "dangling");
    const std::vector<const char*> names = {"taken", "dangling"};
    const std::string exists = "File exists";
#endif
    for (const char* name : names) {
        OutputFile file;
        EXPECT_FALSE(file.CreateNew(dir.File(name))) << name;
        EXPECT_EQ(file.Reason(), exists) << name;
    }
    // Nothing was written through the link or over the file.
    EXPECT_FALSE(fs::exists(dir.File("nowhere")));
    EXPECT_EQ(test::ReadFile(dir.File("taken")), Bytes(4, 9));
}

TEST(ByteFile, PositionTruncateAndWriteAt) {
    test::ScratchDir dir;
    OutputFile file;
    ASSERT_TRUE(file.CreateNew(dir.File("out")));
    const Bytes block = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(file.Write(block.data(), block.size()));
    EXPECT_EQ(file.Position(), std::optional<std::int64_t>(6));
    // Patched in place: the position of the next Write() does not move.
    const Bytes patch = {9, 9};
    ASSERT_TRUE(file.WriteAt(1, patch.data(), patch.size()));
    EXPECT_EQ(file.Position(), std::optional<std::int64_t>(6));
    // Writing goes on at the new end, never past a hole.
    ASSERT_TRUE(file.Truncate(4));
    EXPECT_EQ(file.Position(), std::optional<std::int64_t>(4));
    ASSERT_TRUE(file.Write(patch.data(), 1));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(test::ReadFile(dir.File("out")), (Bytes{1, 9, 9, 4, 9}));
    EXPECT_FALSE(file.Position());
    EXPECT_FALSE(file.WriteAt(0, patch.data(), 1));
}

// Blocks read on the other thread arrive in file order and whole, with their memory used
// again; a file shorter than promised ends in a failed block and nothing after it.
TEST(ReadAhead, BlocksInFileOrderThenTheEnd) {
    test::ScratchDir dir;
    Bytes content(1000);
    for (std::size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<std::uint8_t>(i * 7);
    }
    test::WriteFile(dir.File("in"), content);
    for (const std::int64_t promised : {1000, 1010}) {
        InputFile source;
        ASSERT_TRUE(source.Open(dir.File("in")));
        ReadAhead reader(source, promised, 64, 16, 2);
        Bytes joined;
        bool whole = true;
        bool failed = false;
        while (whole && !failed) {
            ReadAhead::Block block = reader.Next();
            const auto* bytes = block.bytes.data() + block.start;
            joined.insert(joined.end(), bytes, bytes + block.size);
            whole = block.size == 64;
            failed = block.failed;
            reader.Release(std::move(block));
        }
        EXPECT_EQ(joined, content) << promised;
        EXPECT_EQ(failed, promised > 1000) << promised;
        EXPECT_EQ(reader.Next().size, 0U) << promised;
    }
}

}  // namespace
}  // namespace velmora
