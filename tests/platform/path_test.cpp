#include "platform/Path.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kelvane {
namespace {

TEST(Utf, RoundTripsJapaneseAndSurrogatePairs) {
    const std::u16string text = u"既定の設定 \\effect.so \U0001F3AC";
    const std::string utf8 = ToUtf8(text);
    EXPECT_EQ(utf8, "既定の設定 \\effect.so \xF0\x9F\x8E\xAC");
    EXPECT_EQ(FromUtf8(utf8), text);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
    const std::u16string lone = {u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
    EXPECT_EQ(ToUtf8(lone),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
    // Stray continuation byte, overlong '/', encoded surrogate, truncated sequence at the end.
    EXPECT_EQ(FromUtf8("\x80x"), u"\uFFFDx");
    EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(FromUtf8("ok\xE3\x81"), u"ok\uFFFD\uFFFD");
}

TEST(PathBuffer, CopyFitsOnlyWithItsTerminator) {
    PathBuffer path = u"old";
    EXPECT_FALSE(CopyPath(path, std::u16string(kPathUnits, u'x')));
    EXPECT_EQ(PathView(path), u"old");
    EXPECT_TRUE(CopyPath(path, std::u16string(kPathUnits - 1, u'y')));
    EXPECT_EQ(PathView(path).size(), kPathUnits - 1);
    EXPECT_EQ(path[kPathUnits - 1], 0);
}

TEST(PathBuffer, LengthIsBoundedWithoutTerminator) {
    PathBuffer path;
    std::fill(std::begin(path), std::end(path), u'z');
    EXPECT_EQ(BoundedLength(path, kPathUnits), kPathUnits);
    EXPECT_EQ(PathView(path).size(), kPathUnits);
}

TEST(PathNames, NativeAndFolder) {
    EXPECT_EQ(ToNativePath(u"\\media\\clip.avi"), "/media/clip.avi");
    EXPECT_EQ(ToNativePath(u"/home/ユーザ\\a.bmp"), "/home/ユーザ/a.bmp");
    EXPECT_EQ(FolderOf(u"C:\\work/sub\\file.xqm"), u"C:\\work/sub");
    EXPECT_EQ(FolderOf(u"/a\\b/c"), u"/a\\b");
    EXPECT_EQ(FolderOf(u"\\file"), u"");
    EXPECT_EQ(FolderOf(u"file.xqm"), u"");
}

TEST(PathNames, ExecutableFolderAndName) {
    const std::u16string folder = ExecutableFolder();
    EXPECT_EQ(ExecutableName(), u"platform_tests");
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), u'/');
    EXPECT_TRUE(std::filesystem::exists(ToNativePath(folder + u"/" + ExecutableName())));
}

}  // namespace
}  // namespace kelvane
