#include "platform/File.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/ScratchFolder.h"

namespace kelvane {
namespace {

TEST(WholeFile, WritesReadsAndReplaces) {
    testing::ScratchFolder dir;
    const std::u16string path = dir.PathOf("data.bin");
    const std::string first = std::string("ab\0cd", 5);
    ASSERT_TRUE(WriteWholeFile(path, first.data(), first.size()));
    ASSERT_TRUE(WriteWholeFile(path, "xyz", 3));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "xyz");
    EXPECT_TRUE(FileExists(path));
    // Nothing of the replacement is left lying about.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Native()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(WholeFile, FailuresLeaveTheOutputAlone) {
    testing::ScratchFolder dir;
    std::vector<uint8_t> bytes = {1, 2, 3};
    EXPECT_FALSE(ReadWholeFile(dir.PathOf("missing"), bytes));
    EXPECT_FALSE(ReadWholeFile(dir.Path(), bytes));  // a folder
    EXPECT_EQ(bytes.size(), 3u);
    EXPECT_FALSE(WriteWholeFile(dir.PathOf("no/such/folder/file"), "x", 1));
    EXPECT_FALSE(FileExists(dir.PathOf("missing")));
    EXPECT_FALSE(FileExists(dir.Path()));
}

TEST(WholeFile, BackslashesAreFolderSeparators) {
    testing::ScratchFolder dir;
    std::filesystem::create_directory(dir.Native() + "/sub");
    std::u16string path = dir.Path() + u"\\sub\\f.txt";
    ASSERT_TRUE(WriteWholeFile(path, "hi", 2));
    EXPECT_EQ(dir.Get("sub/f.txt"), "hi");
}

TEST(PositionedFile, ReadsAndWritesAtOffsets) {
    testing::ScratchFolder dir;
    const std::u16string path = dir.PathOf("f.bin");
    File file;
    ASSERT_TRUE(file.Open(path, File::Mode::CreateWrite));
    ASSERT_TRUE(file.Write("0123456789", 10));
    ASSERT_TRUE(file.Seek(4));
    ASSERT_TRUE(file.Write("AB", 2));
    uint64_t at = 0;
    ASSERT_TRUE(file.Tell(at));
    EXPECT_EQ(at, 6u);
    ASSERT_TRUE(file.Flush());
    ASSERT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpen());

    ASSERT_TRUE(file.Open(path, File::Mode::Read));
    uint64_t size = 0;
    ASSERT_TRUE(file.Size(size));
    EXPECT_EQ(size, 10u);
    char buffer[4] = {};
    ASSERT_TRUE(file.Seek(3));
    ASSERT_TRUE(file.Read(buffer, 4));
    EXPECT_EQ(std::string(buffer, 4), "3AB6");
    EXPECT_FALSE(file.Write("x", 1));  // opened for reading only
    ASSERT_TRUE(file.Seek(8));
    EXPECT_FALSE(file.Read(buffer, 4));  // only two bytes are left: a short read fails
}

TEST(PositionedFile, ReadWriteKeepsContentsAndMovesOwnership) {
    testing::ScratchFolder dir;
    dir.Put("f.bin", "abcdef");
    File file;
    ASSERT_TRUE(file.Open(dir.PathOf("f.bin"), File::Mode::ReadWrite));
    ASSERT_TRUE(file.Seek(2));
    ASSERT_TRUE(file.Write("XY", 2));
    File moved = std::move(file);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.Read(nullptr, 1));
    ASSERT_TRUE(moved.Close());
    EXPECT_EQ(dir.Get("f.bin"), "abXYef");
}

TEST(PositionedFile, OpenFailures) {
    testing::ScratchFolder dir;
    File file;
    EXPECT_FALSE(file.Open(dir.PathOf("missing"), File::Mode::Read));
    EXPECT_FALSE(file.Open(dir.Path(), File::Mode::Read));
    EXPECT_FALSE(file.IsOpen());
    uint64_t value = 7;
    EXPECT_FALSE(file.Size(value));
    EXPECT_FALSE(file.Tell(value));
    EXPECT_EQ(value, 7u);
}

}  // namespace
}  // namespace kelvane
