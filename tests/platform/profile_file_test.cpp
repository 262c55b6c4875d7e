#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include "support/ScratchFolder.h"

namespace kelvane {
namespace {

std::u16string ReadText(const ProfileFile& profile, const char* section, const char* key,
                        const char16_t* fallback = u"<none>") {
    PathBuffer out;
    profile.ReadString(section, key, fallback, out);
    return std::u16string(PathView(out));
}

TEST(ProfileFile, WritesKeepEveryOtherSectionKeyAndLine) {
    testing::ScratchFolder dir;
    dir.Put("k.INI",
            "; written by hand\r\n"
            "[Recent File List]\r\n"
            "File1=/p/a.xqm\r\n"
            "\r\n"
            "[settings]\r\n"
            "drawframethread = 3\r\n"
            "Unknown=keep me\r\n"
            "garbage line\r\n"
            "\r\n"
            "[TrackView]\r\n"
            "Preview=1\r\n");
    ProfileFile profile(dir.PathOf("k.INI"));
    ASSERT_TRUE(profile.WriteInt("Settings", "DrawFrameThread", 16));
    ASSERT_TRUE(profile.WriteInt("Settings", "FramePrev", 10));
    ASSERT_TRUE(profile.WriteString("FileView", "Preview", u"0"));
    EXPECT_EQ(dir.Get("k.INI"),
              "; written by hand\r\n"
              "[Recent File List]\r\n"
              "File1=/p/a.xqm\r\n"
              "\r\n"
              "[settings]\r\n"
              "drawframethread=16\r\n"
              "Unknown=keep me\r\n"
              "FramePrev=10\r\n"
              "garbage line\r\n"
              "\r\n"
              "[TrackView]\r\n"
              "Preview=1\r\n"
              "\r\n"
              "[FileView]\r\n"
              "Preview=0\r\n");
    EXPECT_EQ(profile.ReadInt("SETTINGS", "DRAWFRAMETHREAD", 0), 16);
    EXPECT_EQ(profile.ReadInt("trackview", "preview", 0), 1);
    EXPECT_EQ(ReadText(profile, "Settings", "unknown"), u"keep me");
}

TEST(ProfileFile, IntegersReadLikeThePlatform) {
    testing::ScratchFolder dir;
    dir.Put("k.INI",
            "[S]\nA=12abc\nB=-3\nC=+7\nD=  42  \nE=abc\nF=\nG=4294967295\nH=- 5\nI=0x10\n");
    ProfileFile profile(dir.PathOf("k.INI"));
    EXPECT_EQ(profile.ReadInt("S", "A", 99), 12);
    EXPECT_EQ(profile.ReadInt("S", "B", 99), -3);
    EXPECT_EQ(profile.ReadInt("S", "C", 99), 7);
    EXPECT_EQ(profile.ReadInt("S", "D", 99), 42);
    EXPECT_EQ(profile.ReadInt("S", "E", 99), 0);   // present but no digits
    EXPECT_EQ(profile.ReadInt("S", "F", 99), 99);  // empty value
    EXPECT_EQ(profile.ReadInt("S", "G", 99), -1);  // wraps to 32 bits
    EXPECT_EQ(profile.ReadInt("S", "H", 99), 0);
    EXPECT_EQ(profile.ReadInt("S", "I", 99), 0);
    EXPECT_EQ(profile.ReadInt("S", "Missing", 99), 99);
    EXPECT_EQ(profile.ReadInt("Missing", "A", -5), -5);
}

TEST(ProfileFile, StringsStandAsTheyAre) {
    testing::ScratchFolder dir;
    ProfileFile profile(dir.PathOf("k.INI"));
    ASSERT_TRUE(profile.WriteString("Settings", "DefaultEffectDll", u"\\effect.so"));
    ASSERT_TRUE(profile.WriteString("S", "Quoted", u"\"a=b\" \\n 効果"));
    ASSERT_TRUE(profile.WriteString("S", "Empty", u""));
    EXPECT_EQ(dir.Get("k.INI"),
              "[Settings]\nDefaultEffectDll=\\effect.so\n\n[S]\nQuoted=\"a=b\" \\n 効果\nEmpty=\n");
    EXPECT_EQ(ReadText(profile, "Settings", "DefaultEffectDll"), u"\\effect.so");
    EXPECT_EQ(ReadText(profile, "S", "Quoted"), u"\"a=b\" \\n 効果");
    EXPECT_EQ(ReadText(profile, "S", "Empty"), u"");  // present: no default
    EXPECT_EQ(ReadText(profile, "S", "Missing", u"\\effect.so"), u"\\effect.so");
}

TEST(ProfileFile, LongStringsAreCutTo259Units) {
    testing::ScratchFolder dir;
    ProfileFile profile(dir.PathOf("k.INI"));
    ASSERT_TRUE(profile.WriteString("S", "Long", std::u16string(400, u'x')));
    EXPECT_EQ(ReadText(profile, "S", "Long"), std::u16string(259, u'x'));
    // A surrogate pair straddling the cut is dropped whole.
    std::u16string pairs = std::u16string(258, u'y') + u"\U0001F3AC";
    ASSERT_TRUE(profile.WriteString("S", "Pair", pairs));
    EXPECT_EQ(ReadText(profile, "S", "Pair"), std::u16string(258, u'y'));
}

TEST(ProfileFile, MissingFileReadsDefaultsAndWriteCreatesIt) {
    testing::ScratchFolder dir;
    ProfileFile profile(dir.PathOf("new.INI"));
    EXPECT_EQ(profile.ReadInt("Settings", "CallbackTimeout", 5000), 5000);
    EXPECT_EQ(ReadText(profile, "Settings", "DefaultEffectDll", u"\\effect.so"), u"\\effect.so");
    EXPECT_FALSE(dir.Has("new.INI"));
    ASSERT_TRUE(profile.WriteInt("Settings", "CallbackTimeout", -1));
    EXPECT_EQ(dir.Get("new.INI"), "[Settings]\nCallbackTimeout=-1\n");
    EXPECT_EQ(profile.ReadInt("Settings", "CallbackTimeout", 5000), -1);
}

TEST(ProfileFile, FirstSectionAndKeyWinAndBomIsKept) {
    testing::ScratchFolder dir;
    dir.Put("k.INI", "\xEF\xBB\xBF[A]\nk=1\nk=2\n[a]\nk=3\nj=4\n");
    ProfileFile profile(dir.PathOf("k.INI"));
    EXPECT_EQ(profile.ReadInt("A", "k", 0), 1);
    EXPECT_EQ(profile.ReadInt("A", "j", 0), 0);  // only the first [A] is looked at
    ASSERT_TRUE(profile.WriteInt("a", "K", 5));
    EXPECT_EQ(dir.Get("k.INI"), "\xEF\xBB\xBF[A]\nk=5\nk=2\n[a]\nk=3\nj=4\n");
}

TEST(ProfileFile, WritesThatWouldCorruptTheFileAreRefused) {
    testing::ScratchFolder dir;
    dir.Put("k.INI", "[S]\nA=1\n");
    ProfileFile profile(dir.PathOf("k.INI"));
    EXPECT_FALSE(profile.WriteString("S", "A", u"1\n[Evil]\nB=2"));
    EXPECT_FALSE(profile.WriteString("S", "A=B", u"1"));
    EXPECT_FALSE(profile.WriteString("S]", "A", u"1"));
    EXPECT_FALSE(profile.WriteString("", "A", u"1"));
    EXPECT_FALSE(profile.WriteString("S", "", u"1"));
    EXPECT_FALSE(profile.WriteString("S", "[A", u"1"));
    EXPECT_EQ(dir.Get("k.INI"), "[S]\nA=1\n");
    // A path that cannot be a file fails without touching anything.
    ProfileFile folder(dir.Path());
    EXPECT_FALSE(folder.WriteInt("S", "A", 1));
    EXPECT_EQ(folder.ReadInt("S", "A", 8), 8);
}

}  // namespace
}  // namespace kelvane
