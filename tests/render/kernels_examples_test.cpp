#include <gtest/gtest.h>

#include <cmath>

#include "render/EventGeometry.h"
#include "render/PixelJob.h"
#include "render/PixelTables.h"
#include "tests/render/KernelTestSupport.h"

namespace kelvane {
namespace {

using testing::Bitmap;
using testing::Model;
using testing::Pixel;

// Every case runs on both tiers.
class KernelExamples : public ::testing::TestWithParam<int32_t> {
  protected:
    testing::Draw Base(int32_t method = 2) const {
        testing::Draw d;
        d.tier = GetParam();
        d.method = method;
        return d;
    }

    // One source pixel over one destination pixel.
    uint32_t One(uint32_t s, uint32_t dValue, testing::Draw d) const {
        Bitmap src(1, 1, s), dst(1, 1, dValue);
        testing::Run(dst, src, d);
        return dst.At(0, 0);
    }
};

TEST_P(KernelExamples, IdentityCopiesTheRegionWholeWords) {
    for (int32_t method : {1, 2}) {
        Bitmap src(7, 5), dst(9, 6, 0x11223344);
        for (size_t i = 0; i < src.words.size(); ++i) {
            src.words[i] = uint32_t(i * 0x9E3779B9u);  // fourth bytes set too
        }
        testing::Draw d = Base(method);
        d.region = {1, 1, 6, 4};
        testing::Run(dst, src, d);
        for (int32_t y = 0; y < 6; ++y) {
            for (int32_t x = 0; x < 9; ++x) {
                const bool in = x >= 1 && x < 6 && y >= 1 && y < 4;
                EXPECT_EQ(dst.At(x, y), in ? src.At(x, y) : 0x11223344u) << x << "," << y;
            }
        }
    }
}

TEST_P(KernelExamples, OpacityByteWeighsAndOnlyZeroCopies) {
    for (int32_t method : {2, 3}) {
        testing::Draw d = Base(method);
        d.colour = Model(255, 255, 255, 128);
        EXPECT_EQ(One(Pixel(255, 255, 255, 0x7F), 0, d), Pixel(127, 127, 127));
        d.colour = Model(255, 255, 255, 255);
        EXPECT_EQ(One(Pixel(255, 255, 255, 0x7F), 0, d), Pixel(254, 254, 254));
        d.colour = Model(255, 255, 255, 0);
        EXPECT_EQ(One(Pixel(255, 255, 255, 0x7F), 0, d), Pixel(255, 255, 255, 0x7F));
    }
}

TEST_P(KernelExamples, TintScalesChannelsAndWhiteKeepsTheCopy) {
    testing::Draw d = Base();
    d.colour = Model(255, 128, 0);
    EXPECT_EQ(One(Pixel(255, 255, 255, 0x7F), 0, d), Pixel(255, 128, 0));
    d.colour = Model(255, 128, 0);
    EXPECT_EQ(One(Pixel(200, 100, 50), 0, d), Pixel(200, 50, 0));  // floor(100 * 128 / 255)
    d.colour = Model(255, 255, 255);
    EXPECT_EQ(One(Pixel(1, 2, 3, 0x7F), 0, d), Pixel(1, 2, 3, 0x7F));
}

TEST_P(KernelExamples, BlendModes) {
    testing::Draw d = Base();
    d.mode = 4;
    EXPECT_EQ(One(Pixel(255, 128, 0), Pixel(255, 128, 200, 9), d), Pixel(255, 64, 0));
    d.mode = 5;
    EXPECT_EQ(One(Pixel(100, 0, 255), Pixel(200, 7, 255, 9), d), Pixel(255, 7, 255));
    d.mode = 6;
    EXPECT_EQ(One(Pixel(200, 0, 5), Pixel(100, 7, 9, 9), d), Pixel(0, 7, 4));
    // Without a tint the bitwise modes act on whole words, fourth bytes included.
    d.mode = 1;
    EXPECT_EQ(One(0xF0F0F0F0, 0x3C3C3C3C, d), 0x30303030u);
    d.mode = 2;
    EXPECT_EQ(One(0xF0F0F0F0, 0x3C3C3C3C, d), 0xFCFCFCFCu);
    d.mode = 3;
    EXPECT_EQ(One(0xF0F0F0F0, 0x3C3C3C3C, d), 0xCCCCCCCCu);
    // A tinted sample has a fourth byte of 0. The opacity does not weigh these modes.
    d.colour = Model(255, 255, 0, 128);
    EXPECT_EQ(One(0xF0F0F0F0, 0x3C3C3C3C, d), 0x3CCCCC3Cu);
}

TEST_P(KernelExamples, TransparentColourSkipsOnlyWhenActive) {
    const uint32_t key = Pixel(10, 20, 30);
    testing::Draw d = Base();
    d.transparent = Model(10, 20, 30);
    EXPECT_EQ(One(key, 0x00ABCDEF, d), 0x00ABCDEFu);
    EXPECT_EQ(One(key | 0x01000000, 0x00ABCDEF, d), key | 0x01000000);  // fourth byte differs
    d.transparent = Model(10, 20, 30, 1);
    EXPECT_EQ(One(key, 0x00ABCDEF, d), key);
    d.transparent = 0xFF000000;
    EXPECT_EQ(One(key, 0x00ABCDEF, d), key);
}

TEST_P(KernelExamples, KeyedBilinearTakesTheMeanAndFadesByCoverage) {
    const uint32_t key = Pixel(0, 255, 0);
    const uint32_t red = Pixel(255, 0, 0);
    Bitmap src(2, 1);
    src.At(0, 0) = key;
    src.At(1, 0) = red;
    // Every output pixel samples (1.0, 0.5).
    const float inverse[9] = {0, 0, 1.0f, 0, 0, 0.5f, 0, 0, 1};
    const float forward[9] = {0, 0, 0, 0, 0, 0, 0, 0, 1};  // collapses onto (0, 0)
    Bitmap dst(1, 1, 0);
    testing::Draw d = Base(3);
    d.transparent = Model(0, 255, 0);
    d.inverse = inverse;
    d.forward = forward;
    testing::Run(dst, src, d);
    EXPECT_EQ(dst.At(0, 0), Pixel(127, 0, 0));  // (128 * 255 + 128 * 0) >> 8

    // Multiply by white is the sample itself, weighted by the same coverage.
    dst.At(0, 0) = Pixel(255, 255, 255);
    d.mode = 4;
    testing::Run(dst, src, d);
    EXPECT_EQ(dst.At(0, 0), Pixel(255, 127, 127));
}

TEST(SampleBilinear, KeyedPairGivesRedAtHalfCoverage) {
    const uint32_t key = Pixel(0, 255, 0);
    const uint32_t words[2] = {key, Pixel(255, 0, 0)};
    uint32_t coverage = 0;
    const uint32_t s = SampleBilinearKeyed(words, 2, {0, 0, 2, 1}, key, 1.0f, 0.5f, &coverage);
    EXPECT_EQ(s, Pixel(255, 0, 0));
    EXPECT_EQ(coverage, 128u);
    EXPECT_EQ(SampleBilinearKeyed(words, 2, {0, 0, 2, 1}, key, 0.2f, 0.5f, &coverage), 0u);
    EXPECT_EQ(coverage, 0u);
}

TEST(SampleBilinear, WeightsRoundingAndEdges) {
    // Bottom-up like every bitmap: the top row lies last in memory.
    const uint32_t a = Pixel(0, 0, 0, 0xAA), red = Pixel(255, 0, 0);
    const uint32_t words[4] = {Pixel(0, 255, 0), Pixel(0, 0, 255), a, red};
    const uint32_t* top = words + 2;
    const DrawRect all{0, 0, 2, 2};
    // Centre of the block: all four weigh 128; x first, then y, +128 before each shift.
    EXPECT_EQ(SampleBilinear(top, 2, all, 1.0f, 1.0f), Pixel(64, 64, 64));
    // Beyond the outer pixel centres the edge pixel is used alone and returned whole.
    EXPECT_EQ(SampleBilinear(top, 2, all, 0.1f, 0.2f), a);
    // A pixel's own centre still takes two taps (weight 0): the fourth byte is dropped.
    EXPECT_EQ(SampleBilinear(top, 2, all, 0.5f, 0.5f), 0u);
    EXPECT_EQ(SampleBilinear(top, 2, all, 1.0f, 0.2f), Pixel(128, 0, 0));
    EXPECT_EQ(SampleBilinear(top, 2, all, 1.25f, 0.5f), Pixel(191, 0, 0));
    // sx * 256 = 128.5 and 130.5 round to even: weights 0 and 2.
    EXPECT_EQ(SampleBilinear(top, 2, all, 128.5f / 256, 0.2f), 0u);
    EXPECT_EQ(SampleBilinear(top, 2, all, 130.5f / 256, 0.2f), Pixel(2, 0, 0));
    // A region of one column never reads the other.
    EXPECT_EQ(SampleBilinear(top, 2, {1, 0, 2, 2}, 1.5f, 1.0f), Pixel(128, 0, 128));
}

TEST_P(KernelExamples, RegionIsClippedToTheSource) {
    Bitmap src(3, 3, Pixel(1, 2, 3)), dst(6, 6, 0);
    testing::Draw d = Base();
    d.region = {-5, -5, 100, 100};
    testing::Run(dst, src, d);
    EXPECT_EQ(dst.At(2, 2), Pixel(1, 2, 3));
    EXPECT_EQ(dst.At(3, 2), 0u);
    EXPECT_EQ(dst.At(2, 3), 0u);

    Bitmap untouched(6, 6, 0);
    for (DrawRect empty : {DrawRect{2, 0, 2, 3}, DrawRect{3, 0, 1, 3}, DrawRect{0, 2, 3, 1}}) {
        d.region = empty;
        testing::Run(dst = untouched, src, d);
        EXPECT_EQ(dst.words, untouched.words);
    }
}

TEST_P(KernelExamples, ClipRectangleLimitsTheWrites) {
    Bitmap src(8, 8, Pixel(9, 9, 9)), dst(8, 8, 0);
    testing::Draw d = Base();
    d.clip = {2, 3, 5, 100};
    testing::Run(dst, src, d);
    int drawn = 0;
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 0; x < 8; ++x) {
            const bool in = x >= 2 && x < 5 && y >= 3;
            EXPECT_EQ(dst.At(x, y) != 0, in);
            drawn += in;
        }
    }
    EXPECT_EQ(drawn, 15);
}

TEST_P(KernelExamples, HorizonCrossingVisitsTheWholeClipRectangle) {
    // w = 0.1 * y - 1 changes sign inside the region: the source plane crosses the horizon.
    const float forward[9] = {1, 0, 0, 0, 1, 0, 0, 0.1f, -1};
    float inverse[9];
    InvertMatrix(forward, inverse);
    Bitmap src(20, 20), dst(32, 24, 0);
    for (size_t i = 0; i < src.words.size(); ++i) {
        src.words[i] = 0x00010101u * uint32_t(1 + i % 200);
    }
    testing::Draw d = Base();
    d.forward = forward;
    d.inverse = inverse;
    d.clip = {1, 2, 31, 23};
    const DrawRequest r = testing::MakeRequest(dst, src, d);
    PixelJob job;
    ASSERT_TRUE(PreparePixelJob(r, &job));
    EXPECT_EQ(job.x0, 1);
    EXPECT_EQ(job.x1, 31);
    EXPECT_EQ(job.y0, 2);
    EXPECT_EQ(job.y1, 23);
    testing::Run(dst, src, d);
    int drawn = 0;
    for (int32_t y = 0; y < 24; ++y) {
        for (int32_t x = 0; x < 32; ++x) {
            // Where the mapping lands outside the source the frame stays as it was.
            const float w = inverse[6] * x + (inverse[7] * y + inverse[8]);
            const float sx = (inverse[0] * x + (inverse[1] * y + inverse[2])) / w;
            const float sy = (inverse[3] * x + (inverse[4] * y + inverse[5])) / w;
            const bool in =
                x >= 1 && x < 31 && y >= 2 && y < 23 && sx >= 0 && sx < 20 && sy >= 0 && sy < 20;
            EXPECT_EQ(dst.At(x, y) != 0, in) << x << "," << y;
            drawn += in;
        }
    }
    EXPECT_GT(drawn, 20);
}

TEST_P(KernelExamples, FootprintCullingKeepsOnePixelAroundTheProjection) {
    // Source placed at (10, 4), scaled by 2: covers output 10..17 x 4..11.
    const float forward[9] = {2, 0, 10, 0, 2, 4, 0, 0, 1};
    float inverse[9];
    InvertMatrix(forward, inverse);
    Bitmap src(4, 4, 1), dst(40, 30, 0);
    testing::Draw d = Base();
    d.forward = forward;
    d.inverse = inverse;
    PixelJob job;
    ASSERT_TRUE(PreparePixelJob(testing::MakeRequest(dst, src, d), &job));
    EXPECT_EQ(job.x0, 9);
    EXPECT_EQ(job.x1, 19);
    EXPECT_EQ(job.y0, 3);
    EXPECT_EQ(job.y1, 13);
    EXPECT_EQ(job.inverse[0], 0.5f);
    // A footprint entirely off the frame draws nothing.
    const float away[9] = {1, 0, -100, 0, 1, 0, 0, 0, 1};
    d.forward = away;
    d.inverse = nullptr;
    EXPECT_FALSE(PreparePixelJob(testing::MakeRequest(dst, src, d), &job));
}

TEST_P(KernelExamples, ColoursAreSwappedIntoThePixelLayout) {
    Bitmap src(2, 2), dst(2, 2);
    testing::Draw d = Base();
    d.colour = Model(0x11, 0x22, 0x33, 0x44);
    d.transparent = Model(0x55, 0x66, 0x77, 0x01);
    PixelJob job;
    ASSERT_TRUE(PreparePixelJob(testing::MakeRequest(dst, src, d), &job));
    EXPECT_EQ(job.tint, Pixel(0x11, 0x22, 0x33));
    EXPECT_EQ(job.opacity, 0x44u);
    EXPECT_EQ(job.inverseOpacity, 256u - 0x44u);
    EXPECT_EQ(job.transparentColour, Pixel(0x55, 0x66, 0x77, 0x01));
    EXPECT_EQ(job.destination, dst.words.data() + 2);  // top row is the last in memory
}

TEST_P(KernelExamples, OutOfRangeTierMethodOrModeDrawsNothing) {
    Bitmap src(4, 4, Pixel(1, 2, 3)), dst(4, 4, 0);
    const Bitmap before = dst;
    for (int32_t tier : {-1, 2, 7}) {
        testing::Draw d = Base();
        d.tier = tier;
        testing::Run(dst, src, d);
    }
    for (int32_t method : {0, 5, 6, -1}) {
        testing::Run(dst, src, Base(method));
    }
    for (int32_t mode : {7, -1, 100}) {
        testing::Draw d = Base();
        d.mode = mode;
        testing::Run(dst, src, d);
    }
    EXPECT_EQ(dst.words, before.words);
    // No matrix at all, or a singular one, draws nothing too.
    testing::Draw d = Base();
    d.forward = nullptr;
    d.inverse = nullptr;
    testing::Run(dst, src, d);
    const float zero[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    d.forward = zero;
    testing::Run(dst, src, d);
    EXPECT_EQ(dst.words, before.words);
}

TEST_P(KernelExamples, MissingMatrixIsTheInverseOfTheOther) {
    const float forward[9] = {1.5f, 0.25f, 3, -0.5f, 2, 1, 0, 0, 1};
    float inverse[9];
    InvertMatrix(forward, inverse);
    Bitmap src(16, 16);
    for (size_t i = 0; i < src.words.size(); ++i) {
        src.words[i] = uint32_t(i * 2654435761u) & 0x00FFFFFF;
    }
    Bitmap a(32, 32, 0), b(32, 32, 0), c(32, 32, 0);
    testing::Draw d = Base(3);
    d.forward = forward;
    d.inverse = inverse;
    testing::Run(a, src, d);
    d.inverse = nullptr;
    testing::Run(b, src, d);
    d.forward = nullptr;
    d.inverse = inverse;
    testing::Run(c, src, d);
    EXPECT_EQ(a.words, b.words);
    EXPECT_EQ(a.words, c.words);
}

INSTANTIATE_TEST_SUITE_P(Tiers, KernelExamples, ::testing::Values(0, 1),
                         [](const auto& info) { return "Tier" + std::to_string(info.param); });

TEST(PixelTables, EntriesEqualTheirFormulas) {
    BuildPixelTables();
    const PixelTables& t = GetPixelTables();
    for (int i = 0; i < 256; ++i) {
        for (int j = 0; j < 256; ++j) {
            ASSERT_EQ(t.productOver255[i][j], i * j / 255);
            ASSERT_EQ(t.saturatingSum[i][j], std::min(i + j, 255));
            ASSERT_EQ(t.saturatingDiff[i][j], std::max(i - j, 0));
        }
    }
    for (int j = 0; j < 1024; ++j) {
        ASSERT_EQ(t.mean[0][j], 0);
        ASSERT_EQ(t.mean[3][j], j / 3);
    }
    EXPECT_EQ(t.productOver255[255][255], 255);
    EXPECT_EQ(t.productOver255[128][128], 64);
}

}  // namespace
}  // namespace kelvane
