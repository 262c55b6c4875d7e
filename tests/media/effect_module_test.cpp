// The shipped effect module, loaded and drawn through EffectPlugin.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "media/EffectPlugin.h"

#ifdef KELVANE_EFFECT_MODULE

namespace kelvane {
namespace {

constexpr int32_t kFill = 0, kGradientAcross = 1, kGradientDown = 2, kMosaicSmall = 3,
                  kBlurWeak = 6, kInvert = 8, kFade = 9;
constexpr float kCentreX = 0.500244140625f;

std::u16string ModulePath() {
    std::string path = KELVANE_EFFECT_MODULE;
    return std::u16string(path.begin(), path.end());
}

std::u16string ModuleFolder() {
    std::u16string path = ModulePath();
    return path.substr(0, path.rfind(u'/'));
}

// A small frame with a drawing of its own, pixel (x, y) counted from the top.
struct Frame {
    int32_t width = 16, height = 12;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(size_t(width * height));

    explicit Frame(uint32_t fill) { std::fill(pixels.begin(), pixels.end(), fill); }
    uint32_t& At(int32_t x, int32_t y) { return pixels[size_t((height - 1 - y) * width + x)]; }
};

struct Placement {
    float forward[9] = {1, 0, kCentreX, 0, 1, 0.5f, 0, 0, 1};
    float inverse[9] = {1, 0, kCentreX, 0, 1, 0.5f, 0, 0, 1};
};

// forward = P · scale, inverse = scale⁻¹ · P, as the renderer composes a standard placement.
Placement Scaled(float s) {
    Placement p;
    float f[9] = {s, 0, kCentreX, 0, s, 0.5f, 0, 0, 1};
    float i[9] = {1 / s, 0, kCentreX / s, 0, 1 / s, 0.5f / s, 0, 0, 1};
    std::copy(f, f + 9, p.forward);
    std::copy(i, i + 9, p.inverse);
    return p;
}

class EffectModule : public ::testing::Test {
  protected:
    bool Run(int32_t index, Frame& frame, EffectRect region, uint32_t colour, int32_t blend = 0,
             const Placement& placement = Placement()) {
        EffectPlugin plugin;
        if (!plugin.Load(ModulePath(), index, std::nullopt)) {
            ADD_FAILURE() << "effect " << index << " does not load";
            return false;
        }
        EffectRect target{0, 0, frame.width, frame.height};
        return plugin.Transform(frame.pixels.data(), frame.width, frame.height, target, region,
                                colour, blend, placement.forward, placement.inverse);
    }
    static bool Inside(const EffectRect& r, int32_t x, int32_t y) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    }
};

TEST_F(EffectModule, ListsItsEffectsWithJapaneseNames) {
    EffectPlugin plugin;
    ASSERT_TRUE(plugin.LoadModule(ModulePath()));
    std::vector<EffectInfo> records;
    ASSERT_TRUE(plugin.Enumerate(records));
    ASSERT_GE(records.size(), 10u);
    std::set<std::u16string> names;
    for (size_t i = 0; i < records.size(); ++i) {
        const EffectInfo& r = records[i];
        EXPECT_EQ(r.id, int32_t(i));
        EXPECT_LE(r.version, kEffectVersionMax);
        // Every text ends inside its field: nothing was cut.
        EXPECT_LT(EffectText(r.name).size(), 63u);
        EXPECT_LT(EffectText(r.text).size(), 63u);
        EXPECT_LT(EffectText(r.description).size(), 255u);
        EXPECT_GT(EffectText(r.description).size(), 10u);
        ASSERT_FALSE(EffectText(r.name).empty());
        EXPECT_GE(EffectText(r.name)[0], 0x3000) << "a Japanese name";
        names.emplace(EffectText(r.name));
    }
    EXPECT_EQ(names.size(), records.size());
    EXPECT_EQ(EffectText(records[kFill].name), u"塗りつぶし");

    // The default path finds it beside the executables and selects the fill.
    EffectPlugin byDefault;
    ASSERT_TRUE(LoadEffect(byDefault, ModuleFolder() + u"\\effect.so"));
    EXPECT_EQ(EffectText(byDefault.Info().name), u"塗りつぶし");
    EffectPlugin byName;
    ASSERT_TRUE(LoadEffect(byName, ModuleFolder() + u"\\effect.so>色の反転"));
    EXPECT_EQ(byName.EffectId(), kInvert);
}

TEST_F(EffectModule, FillCoversExactlyTheRegion) {
    Frame frame(0xAB102030);  // a fourth byte the effect must clear where it draws
    const EffectRect region{2, 3, 10, 8};
    ASSERT_TRUE(Run(kFill, frame, region, 0x000000FF));  // opaque red
    for (int32_t y = 0; y < frame.height; ++y) {
        for (int32_t x = 0; x < frame.width; ++x) {
            ASSERT_EQ(frame.At(x, y), Inside(region, x, y) ? 0x00FF0000u : 0xAB102030u)
                << x << "," << y;
        }
    }
}

TEST_F(EffectModule, FillHonoursOpacityBlendAndPlacement) {
    Frame half(0);
    ASSERT_TRUE(Run(kFill, half, {0, 0, 4, 4}, 0x80FFFFFF));
    EXPECT_EQ(half.At(1, 1), 0x007F7F7Fu);  // (128 · 255) >> 8

    Frame multiply(0x00808080);
    ASSERT_TRUE(Run(kFill, multiply, {0, 0, 4, 4}, 0x000000FF, 4));
    EXPECT_EQ(multiply.At(0, 0), 0x00800000u);
    EXPECT_EQ(multiply.At(4, 4), 0x00808080u);

    // Scale 2 from the origin: the 4 x 4 region covers 8 x 8 output pixels.
    Frame scaled(0);
    const EffectRect big{0, 0, 8, 8};
    ASSERT_TRUE(Run(kFill, scaled, {0, 0, 4, 4}, 0x00FFFFFF, 0, Scaled(2)));
    for (int32_t y = 0; y < scaled.height; ++y) {
        for (int32_t x = 0; x < scaled.width; ++x) {
            ASSERT_EQ(scaled.At(x, y), Inside(big, x, y) ? 0x00FFFFFFu : 0u) << x << "," << y;
        }
    }

    // Turned a quarter clockwise and moved right: (x, y) lands at (10 - y, x).
    Placement turned;
    const float f[9] = {0, -1, 10 + kCentreX, 1, 0, 0.5f, 0, 0, 1};
    const float i[9] = {0, 1, 0.5f, -1, 0, 10 - kCentreX, 0, 0, 1};
    std::copy(f, f + 9, turned.forward);
    std::copy(i, i + 9, turned.inverse);
    Frame rotated(0);
    const EffectRect upright{8, 0, 10, 4};
    ASSERT_TRUE(Run(kFill, rotated, {0, 0, 4, 2}, 0x00FFFFFF, 0, turned));
    for (int32_t y = 0; y < rotated.height; ++y) {
        for (int32_t x = 0; x < rotated.width; ++x) {
            ASSERT_EQ(rotated.At(x, y), Inside(upright, x, y) ? 0x00FFFFFFu : 0u) << x << "," << y;
        }
    }

    // An unknown blend mode draws nothing; an empty region draws nothing; both succeed.
    Frame untouched(0x00123456);
    EXPECT_TRUE(Run(kFill, untouched, {0, 0, 16, 12}, 0, 9));
    EXPECT_TRUE(Run(kFill, untouched, {5, 5, 5, 9}, 0));
    EXPECT_EQ(untouched.pixels, Frame(0x00123456).pixels);
}

TEST_F(EffectModule, GradientsFadeAcrossTheRegion) {
    Frame across(0);
    ASSERT_TRUE(Run(kGradientAcross, across, {0, 0, 16, 12}, 0x00FFFFFF));
    Frame down(0);
    ASSERT_TRUE(Run(kGradientDown, down, {0, 0, 16, 12}, 0x00FFFFFF));
    EXPECT_GT(across.At(0, 5) & 0xFF, 240u);
    EXPECT_LT(across.At(15, 5) & 0xFF, 16u);
    EXPECT_GT(down.At(5, 0) & 0xFF, 240u);
    EXPECT_LT(down.At(5, 11) & 0xFF, 24u);
    for (int32_t x = 1; x < 16; ++x) {
        EXPECT_LT(across.At(x, 3), across.At(x - 1, 3));
        EXPECT_EQ(across.At(x, 3), across.At(x, 9));  // the same along every column
    }
}

TEST_F(EffectModule, MosaicMakesUniformBlocksOfTheMean) {
    Frame frame(0);
    for (int32_t y = 0; y < frame.height; ++y) {
        for (int32_t x = 0; x < frame.width; ++x)
            frame.At(x, y) = uint32_t(x * 10 + y);
    }
    Frame before = frame;
    ASSERT_TRUE(Run(kMosaicSmall, frame, {0, 0, 16, 8}, 0x00FFFFFF));
    // Block (0, 0): blue x·10 + y over 8 x 8 pixels, mean 35 + 3.5 rounded.
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 0; x < 8; ++x)
            ASSERT_EQ(frame.At(x, y), 39u) << x << "," << y;
        for (int32_t x = 8; x < 16; ++x)
            ASSERT_EQ(frame.At(x, y), 119u) << x << "," << y;
    }
    for (int32_t y = 8; y < 12; ++y) {
        for (int32_t x = 0; x < 16; ++x)
            ASSERT_EQ(frame.At(x, y), before.At(x, y));
    }
}

TEST_F(EffectModule, BlurSpreadsAPointInsideTheRegionOnly) {
    Frame frame(0);
    frame.At(6, 6) = 0x00FFFFFF;
    ASSERT_TRUE(Run(kBlurWeak, frame, {3, 3, 10, 10}, 0x00FFFFFF));
    EXPECT_EQ(frame.At(6, 6), 0x000A0A0Au);  // 255 / 25, rounded
    EXPECT_EQ(frame.At(4, 8), 0x000A0A0Au);
    EXPECT_EQ(frame.At(3, 6), 0u);  // out of reach

    Frame flat(0x00405060);
    ASSERT_TRUE(Run(kBlurWeak, flat, {0, 0, 16, 12}, 0x00FFFFFF));
    EXPECT_EQ(flat.pixels, Frame(0x00405060).pixels) << "a flat frame stays flat, edges too";
}

TEST_F(EffectModule, InvertAndFadeUseColourAndOpacity) {
    Frame inverted(0x00123456);
    ASSERT_TRUE(Run(kInvert, inverted, {0, 0, 8, 12}, 0x00FFFFFF));
    EXPECT_EQ(inverted.At(0, 0), 0x00EDCBA9u);
    EXPECT_EQ(inverted.At(8, 0), 0x00123456u);

    Frame full(0), half(0), quarter(0);
    ASSERT_TRUE(Run(kFade, full, {0, 0, 16, 12}, 0x00FF8000));
    ASSERT_TRUE(Run(kFade, half, {0, 0, 16, 12}, 0x80FF8000));
    ASSERT_TRUE(Run(kFade, quarter, {0, 0, 16, 12}, 0x40FF8000));
    EXPECT_EQ(full.At(3, 3), 0x000080FFu);
    EXPECT_EQ(half.At(3, 3), 0x0000407Fu);                // half way at half opacity
    EXPECT_LT(quarter.At(3, 3) & 0xFF, 64u * 255 / 256);  // eased: slower at the start
    EXPECT_GT(quarter.At(3, 3) & 0xFF, 0u);
}

TEST_F(EffectModule, RefusesWhatCannotBeAFrame) {
    EffectPlugin plugin;
    ASSERT_TRUE(plugin.Load(ModulePath(), kFill, std::nullopt));
    EffectRect rect{0, 0, 4, 4};
    const float m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    EXPECT_FALSE(plugin.Transform(nullptr, 4, 4, rect, rect, 0, 0, m, m));
    uint32_t pixel = 0;
    EXPECT_FALSE(plugin.Transform(&pixel, 0, 1, rect, rect, 0, 0, m, m));
    // Without matrices the region lies on the frame as it stands.
    EXPECT_TRUE(plugin.Transform(&pixel, 1, 1, rect, rect, 0x00FFFFFF, 0, nullptr, nullptr));
    EXPECT_EQ(pixel, 0x00FFFFFFu);
}

}  // namespace
}  // namespace kelvane

#endif
