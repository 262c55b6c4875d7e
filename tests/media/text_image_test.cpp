#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string_view>

#include "media/TextImage.h"

namespace kelvane {
namespace {

LogFont Font(std::u16string_view face, int32_t height) {
    LogFont font{};
    font.height = height;
    font.weight = 400;
    for (size_t i = 0; i < face.size() && i < 31; ++i)
        font.faceName[i] = face[i];
    return font;
}

std::set<uint32_t> Colours(const PixelImage& image) {
    std::set<uint32_t> colours;
    for (int32_t y = 0; y < image.Height(); ++y) {
        for (int32_t x = 0; x < image.Width(); ++x)
            colours.insert(image.Row32(y)[x]);
    }
    return colours;
}

size_t Count(const PixelImage& image, uint32_t pixel) {
    size_t n = 0;
    for (int32_t y = 0; y < image.Height(); ++y) {
        for (int32_t x = 0; x < image.Width(); ++x)
            n += image.Row32(y)[x] == pixel;
    }
    return n;
}

constexpr uint32_t kBlue = 0x00FF0000;  // 0x00BBGGRR
constexpr uint32_t kBluePixel = 0x000000FF;
constexpr uint32_t kBlueBackgroundPixel = 0x0080807F;  // 0x7F8080 as a pixel

TEST(TextImage, BackgroundDiffersFromTextInEveryChannel) {
    EXPECT_EQ(TextBackground(0x000000), 0x808080u);
    EXPECT_EQ(TextBackground(0xFFFFFF), 0x7F7F7Fu);
    EXPECT_EQ(TextBackground(0xAB123456), 0x92B4D6u);  // the top byte plays no part
}

TEST(TextImage, EmptyTextIsOneBackgroundPixel) {
    PixelImage image;
    ASSERT_TRUE(MakeTextImage(u"", kBlue, Font(u"DejaVu Sans", 20), 3, image));
    ASSERT_EQ(image.Width(), 1);
    ASSERT_EQ(image.Height(), 1);
    EXPECT_EQ(image.BitsPerPixel(), 32);
    EXPECT_EQ(image.Row32(0)[0], kBlueBackgroundPixel);
}

TEST(TextImage, SizeFollowsTheLinesAndTheCellHeight) {
    const LogFont font = Font(u"DejaVu Sans", 32);
    PixelImage one, two, shortFirst, crlf;
    ASSERT_TRUE(MakeTextImage(u"Kelvane", kBlue, font, 3, one));
    ASSERT_TRUE(MakeTextImage(u"Kelvane\nKelvane", kBlue, font, 3, two));
    ASSERT_TRUE(MakeTextImage(u"K\nKelvane", kBlue, font, 3, shortFirst));
    ASSERT_TRUE(MakeTextImage(u"K\r\nKelvane", kBlue, font, 3, crlf));

    // A positive height is the cell height: one line is about that tall.
    EXPECT_NEAR(one.Height(), 32, 2);
    EXPECT_EQ(two.Height(), 2 * one.Height());
    EXPECT_EQ(two.Width(), one.Width());
    // As wide as the longer line, whichever comes first; CR LF is one break.
    EXPECT_EQ(shortFirst.Width(), one.Width());
    EXPECT_EQ(shortFirst.Height(), two.Height());
    EXPECT_EQ(crlf.Height(), two.Height());
}

TEST(TextImage, TabsExpandAndNothingWraps) {
    const LogFont font = Font(u"DejaVu Sans", 20);
    PixelImage plain, tabbed, longLine;
    ASSERT_TRUE(MakeTextImage(u"ab", kBlue, font, 3, plain));
    ASSERT_TRUE(MakeTextImage(u"a\tb", kBlue, font, 3, tabbed));
    ASSERT_TRUE(MakeTextImage(std::u16string(400, u'W'), kBlue, font, 3, longLine));
    EXPECT_GT(tabbed.Width(), plain.Width() + 20);
    EXPECT_EQ(longLine.Height(), plain.Height());
    EXPECT_GT(longLine.Width(), 400 * 10);
}

TEST(TextImage, CleanUpLeavesOnlyTextAndBackground) {
    const LogFont font = Font(u"DejaVu Sans", 28);
    const std::set<uint32_t> pure = {kBluePixel, kBlueBackgroundPixel};
    PixelImage smooth, cut, thick, sharp;
    ASSERT_TRUE(MakeTextImage(u"Smooth Ag", kBlue, font, 0, smooth));
    ASSERT_TRUE(MakeTextImage(u"Smooth Ag", kBlue, font, 1, cut));
    ASSERT_TRUE(MakeTextImage(u"Smooth Ag", kBlue, font, 2, thick));
    ASSERT_TRUE(MakeTextImage(u"Smooth Ag", kBlue, font, 3, sharp));

    // Mode 0 keeps the smoothed edges: colours between text and background remain.
    EXPECT_GT(Colours(smooth).size(), 2u);
    EXPECT_EQ(Colours(cut), pure);
    EXPECT_EQ(Colours(thick), pure);
    EXPECT_EQ(Colours(sharp), pure);
    // Mode 1 keeps only fully covered pixels, mode 2 every touched one.
    EXPECT_GT(Count(cut, kBluePixel), 0u);
    EXPECT_GT(Count(thick, kBluePixel), Count(cut, kBluePixel));
    EXPECT_EQ(cut.Width(), thick.Width());
}

TEST(TextImage, ShortLinesLeaveBackgroundBesideThem) {
    // The area right of a shorter line is background, not black, so it stays transparent.
    PixelImage image;
    ASSERT_TRUE(MakeTextImage(u"i\nWWWWWWWW", 0x000000, Font(u"DejaVu Sans", 24), 2, image));
    const uint32_t b = 0x00808080;
    for (int32_t y = 0; y < image.Height() / 2; ++y) {
        for (int32_t x = image.Width() / 2; x < image.Width(); ++x) {
            ASSERT_EQ(image.Row32(y)[x], b) << x << "," << y;
        }
    }
}

TEST(TextImage, JapaneseTextDraws) {
    const std::u16string_view text = u"日本語のテキスト\n効果";
    for (std::u16string_view face :
         {std::u16string_view(u"Noto Sans CJK JP"), std::u16string_view(u"DejaVu Sans")}) {
        PixelImage image;
        ASSERT_TRUE(MakeTextImage(text, 0xFFFFFF, Font(face, 30), 1, image));
        EXPECT_GT(image.Width(), 150);
        EXPECT_GE(image.Height(), 56);
        // A face without Japanese glyphs falls back to one that has them.
        EXPECT_GT(Count(image, 0x00FFFFFF), 100u);
    }
}

TEST(TextImage, FourthByteIsAlwaysZero) {
    LogFont font = Font(u"DejaVu Sans", -24);  // a character height
    font.weight = 900;
    font.italic = 1;
    font.underline = 1;
    font.strikeOut = 1;
    for (int32_t mode : {0, 1, 2, 3, 7}) {
        PixelImage image;
        ASSERT_TRUE(MakeTextImage(u"Ab\tc", 0x123456, font, mode, image));
        for (int32_t y = 0; y < image.Height(); ++y) {
            for (int32_t x = 0; x < image.Width(); ++x) {
                ASSERT_EQ(image.Row32(y)[x] >> 24, 0u);
            }
        }
    }
}

TEST(TextImage, OddRecordsStillRender) {
    PixelImage image;
    LogFont font{};  // no face, no height, no weight
    ASSERT_TRUE(MakeTextImage(u"x", 0, font, 3, image));
    const int32_t width = image.Width();
    ASSERT_GT(width, 0);
    // A face name that fills all 32 units without a terminator.
    std::memset(font.faceName, 0, sizeof font.faceName);
    for (char16_t& c : font.faceName)
        c = u'Z';
    font.height = 1 << 30;  // absurd: the image would be far too large, so nothing is drawn
    EXPECT_FALSE(MakeTextImage(std::u16string(64, u'W'), 0, font, 3, image));
    EXPECT_EQ(image.Width(), width) << "a failed render leaves the image as it was";
    font.height = 20;
    font.width = 7;  // narrowed
    EXPECT_TRUE(MakeTextImage(u"Z", 0, font, 3, image));
}

}  // namespace
}  // namespace kelvane
