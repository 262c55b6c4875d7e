#include "render/EventGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "render/SamplingMatrix.h"

namespace kelvane {
namespace {

struct Point {
    double x;
    double y;
};

Point Apply(const float m[9], double x, double y) {
    const double w = m[6] * x + m[7] * y + m[8];
    return {(m[0] * x + m[1] * y + m[2]) / w, (m[3] * x + m[4] * y + m[5]) / w};
}

TrackEvent Placement(float refX, float refY, float scale, float rotation, float posX, float posY) {
    TrackEvent e{};
    e.flags = kEventUsed | kEventParametric;
    e.referenceX = refX;
    e.referenceY = refY;
    e.scale = scale;
    e.rotation = rotation;
    e.positionX = posX;
    e.positionY = posY;
    return e;
}

TEST(SamplingMatrix, PixelCentreWithAHairOverHalfHorizontally) {
    InitSamplingMatrix();
    const std::array<float, 9> expected = {1, 0, 0.500244140625f, 0, 1, 0.5f, 0, 0, 1};
    EXPECT_EQ(SamplingMatrix(), expected);
    EXPECT_EQ(double(kSamplingOffsetX), 0.5 + 1.0 / 4096);
}

TEST(EventGeometry, ProductsKeepTheirOrder) {
    const float a[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const float b[9] = {0, 1, 0, 1, 0, 0, 0, 0, 2};  // swaps columns of a, doubles the last
    float ab[9];
    MultiplyMatrices(a, b, ab);
    const float expected[9] = {2, 1, 6, 5, 4, 12, 8, 7, 18};
    EXPECT_EQ(std::memcmp(ab, expected, sizeof(ab)), 0);
    float in_place[9];
    std::memcpy(in_place, a, sizeof(a));
    MultiplyMatrices(in_place, b, in_place);
    EXPECT_EQ(std::memcmp(in_place, expected, sizeof(ab)), 0);
}

TEST(EventGeometry, ReferencePointLandsOnThePositionTurnedClockwise) {
    TrackEvent e = Placement(50, 50, 2, 90, 100, 100);
    BuildParametricMatrices(e);
    const Point ref = Apply(e.matrix, 50, 50);
    EXPECT_NEAR(ref.x, 100, 1e-4);
    EXPECT_NEAR(ref.y, 100, 1e-4);
    // One pixel to the right in the source is two pixels down on screen.
    const Point p = Apply(e.matrix, 51, 50);
    EXPECT_NEAR(p.x, 100, 1e-4);
    EXPECT_NEAR(p.y, 102, 1e-4);
    const Point back = Apply(e.inverse, 100, 102);
    EXPECT_NEAR(back.x, 51, 1e-4);
    EXPECT_NEAR(back.y, 50, 1e-4);
}

TEST(EventGeometry, ComposedForwardAddsThePixelCentreOnTheOutputSide) {
    TrackEvent e = Placement(50, 50, 2, 90, 100, 100);
    BuildParametricMatrices(e);
    ComposeWithSamplingMatrix(e, DrawMethod::Standard);
    const Point p = Apply(e.matrix, 51, 50);
    EXPECT_NEAR(p.x, 100.500244140625, 1e-4);
    EXPECT_NEAR(p.y, 102.5, 1e-4);
}

// Which source column an output pixel samples: the floor of the composed inverse's x.
int SampledColumn(const TrackEvent& e, int x, int y) {
    return int(std::floor(Apply(e.inverse, x, y).x));
}

TEST(EventGeometry, InitialVersionAddsTheOffsetInSourceSpace) {
    TrackEvent first = Placement(0, 0, 2, 0, 0, 0);
    BuildParametricMatrices(first);
    TrackEvent standard = first;
    ComposeWithSamplingMatrix(first, DrawMethod::StandardInitial);
    ComposeWithSamplingMatrix(standard, DrawMethod::Standard);
    // Method 1: 0.5 x 1 + 0.500244140625; method 2: 0.5 x (1 + 0.500244140625).
    EXPECT_EQ(SampledColumn(first, 1, 0), 1);
    EXPECT_EQ(SampledColumn(standard, 1, 0), 0);
    EXPECT_FLOAT_EQ(first.inverse[2], 0.500244140625f);
    EXPECT_FLOAT_EQ(standard.inverse[2], 0.2501220703125f);
    // The forward side is the same for both.
    EXPECT_EQ(std::memcmp(first.matrix, standard.matrix, sizeof(first.matrix)), 0);

    TrackEvent unresolved = Placement(0, 0, 2, 0, 0, 0);
    BuildParametricMatrices(unresolved);
    ComposeWithSamplingMatrix(unresolved, DrawMethod::Unresolved);
    EXPECT_EQ(std::memcmp(unresolved.inverse, first.inverse, sizeof(first.inverse)), 0);
    for (DrawMethod m : {DrawMethod::Linear, DrawMethod::LinearColourCorrected}) {
        TrackEvent linear = Placement(0, 0, 2, 0, 0, 0);
        BuildParametricMatrices(linear);
        ComposeWithSamplingMatrix(linear, m);
        EXPECT_EQ(std::memcmp(linear.inverse, standard.inverse, sizeof(first.inverse)), 0);
    }
}

TEST(EventGeometry, WithoutScaleOrRotationBothMethodsSampleTheSamePixels) {
    TrackEvent first = Placement(12.25f, 7, 1, 0, 12.25f, 7);
    BuildParametricMatrices(first);
    TrackEvent standard = first;
    ComposeWithSamplingMatrix(first, DrawMethod::StandardInitial);
    ComposeWithSamplingMatrix(standard, DrawMethod::Standard);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const Point a = Apply(first.inverse, x, y);
            const Point b = Apply(standard.inverse, x, y);
            EXPECT_EQ(std::floor(a.x), std::floor(b.x));
            EXPECT_EQ(std::floor(a.y), std::floor(b.y));
            EXPECT_EQ(std::floor(a.x), x);
        }
    }
}

TEST(EventGeometry, ASingularMatrixHasNoFiniteInverse) {
    TrackEvent e = Placement(0, 0, 0, 0, 10, 10);
    BuildParametricMatrices(e);
    bool anyNonFinite = false;
    for (float v : e.inverse) {
        anyNonFinite = anyNonFinite || !std::isfinite(v);
    }
    EXPECT_TRUE(anyNonFinite);
}

TEST(EventGeometry, InverseOfAProjectiveMatrix) {
    const float m[9] = {2, 0.5f, 3, -1, 1.5f, 4, 0.001f, 0.002f, 1};
    float inv[9];
    InvertMatrix(m, inv);
    float product[9];
    MultiplyMatrices(m, inv, product);
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(product[i], i % 4 == 0 ? 1.0 : 0.0, 1e-6) << i;
    }
}

TEST(ResolveDrawMethod, EventThenProjectThenSetting) {
    EXPECT_EQ(ResolveDrawMethod(3, 1, 2), DrawMethod::Linear);
    EXPECT_EQ(ResolveDrawMethod(0, 1, 2), DrawMethod::StandardInitial);
    EXPECT_EQ(ResolveDrawMethod(0, 0, 4), DrawMethod::LinearColourCorrected);
    EXPECT_EQ(ResolveDrawMethod(7, -1, 2), DrawMethod::Standard);
    EXPECT_EQ(ResolveDrawMethod(0, 0, 0), DrawMethod::Unresolved);
    EXPECT_EQ(ResolveDrawMethod(5, 5, 5), DrawMethod::Unresolved);
}

}  // namespace
}  // namespace kelvane
