#include "render/PixelImage.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kelvane {
namespace {

TEST(PixelImage, CreateGivesAlignedZeroedBottomUpRows) {
    PixelImage image;
    ASSERT_TRUE(image.Create(3, 2));
    EXPECT_EQ(image.Pitch(), 12u);
    EXPECT_EQ(image.ByteSize(), 24u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(image.Pixels()) % 16, 0u);
    EXPECT_EQ(image.Row(0), image.Pixels() + 12);  // the top row is stored last
    EXPECT_EQ(image.Row(1), image.Pixels());
    EXPECT_EQ(image.Row32(0)[2], 0u);
}

TEST(PixelImage, PitchRoundsToWholeWordsForOtherDepths) {
    EXPECT_EQ(PixelImage::PitchFor(5, 24), 16u);
    EXPECT_EQ(PixelImage::PitchFor(9, 1), 4u);
    EXPECT_EQ(PixelImage::PitchFor(33, 1), 8u);
}

TEST(PixelImage, FailedCreateLeavesAnEmptyImage) {
    PixelImage image;
    ASSERT_TRUE(image.Create(4, 4));
    EXPECT_FALSE(image.Create(0, 4));
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.Width(), 0);
    EXPECT_FALSE(image.Create(4, 4, 7));
}

TEST(PixelImage, FillSwapsModelColourIntoPixelOrder) {
    PixelImage image;
    ASSERT_TRUE(image.Create(2, 2));
    image.Fill(0x00332211);  // blue 0x33, green 0x22, red 0x11
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            EXPECT_EQ(image.Row32(y)[x], 0x00112233u);
        }
    }
    EXPECT_EQ(image.Pixels()[3], 0);  // fourth byte written as 0
}

}  // namespace
}  // namespace kelvane
