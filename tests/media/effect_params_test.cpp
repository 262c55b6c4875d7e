// Effect parameters: what a module describes, what the program passes when it draws, and the
// parameters of the shipped effect module.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "composition_test_support.h"
#include "media/EffectParams.h"
#include "media/EffectPlugin.h"
#include "media/FrameRenderer.h"
#include "media/MediaSource.h"

namespace kelvane {
namespace {

std::u16string U16(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string ParamsModule() {
    return U16(KELVANE_EFFECT_TEST_DIR) + u"/params.so";
}

// What the test module saw in its last TransformEffectWithParams call.
struct Seen {
    DynamicModule module;
    explicit Seen(const std::u16string& path) { EXPECT_TRUE(module.Load(path)); }
    int32_t Count() const { return module.Lookup<int32_t (*)()>("TestParamCount")(); }
    double Number(int32_t i, int32_t k = 0) const {
        return module.Lookup<double (*)(int32_t, int32_t)>("TestParamNumber")(i, k);
    }
    uint32_t Type(int32_t i) const {
        return module.Lookup<uint32_t (*)(int32_t)>("TestParamType")(i);
    }
    std::string Text() const { return module.Lookup<const char* (*)()>("TestParamText")(); }
    double Time() const { return module.Lookup<double (*)()>("TestParamTime")(); }
    uint64_t Instance() const { return module.Lookup<uint64_t (*)()>("TestParamInstance")(); }
};

bool Draw(const EffectPlugin& plugin, const EffectParamList* values, double time = 0) {
    uint32_t pixel = 0;
    EffectRect rect{0, 0, 1, 1};
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    return plugin.Transform(&pixel, 1, 1, rect, rect, 0, 0, identity, identity, values, time);
}

EffectParamValue Value(uint32_t index, uint32_t type, double a, double b = 0, double c = 0,
                       std::string text = {}) {
    EffectParamValue v;
    v.index = index;
    v.type = type;
    v.numbers = {a, b, c};
    v.text = std::move(text);
    return v;
}

TEST(EffectParams, DescribedParametersAndTheirDefaultsReachTheModule) {
    EffectPlugin plugin;
    ASSERT_TRUE(plugin.Load(ParamsModule(), 0, u"Alpha"));
    ASSERT_TRUE(plugin.TakesParams());
    ASSERT_EQ(plugin.Params().size(), 5u);
    EXPECT_EQ(EffectText(plugin.Params()[0].name), u"Amount");
    EXPECT_EQ(EffectText(plugin.Params()[4].defaultText), u"abc");

    Seen seen(ParamsModule());
    ASSERT_TRUE(Draw(plugin, nullptr, 1.5));
    ASSERT_EQ(seen.Count(), 5);
    EXPECT_EQ(seen.Number(0), 2);
    EXPECT_EQ(seen.Number(1), 1);
    EXPECT_EQ(seen.Number(2, 2), 0.75);
    EXPECT_EQ(seen.Number(3, 1), 0.9);
    EXPECT_EQ(seen.Type(4), KELVANE_PARAM_TEXT);
    EXPECT_EQ(seen.Text(), "abc");
    EXPECT_EQ(seen.Time(), 1.5);
    EXPECT_NE(seen.Instance(), 0u);

    // Each load stands for an entry of its own.
    EffectPlugin other;
    ASSERT_TRUE(other.Load(ParamsModule(), 0, u"Alpha"));
    const uint64_t first = seen.Instance();
    ASSERT_TRUE(Draw(other, nullptr));
    EXPECT_NE(seen.Instance(), first);
}

TEST(EffectParams, StoredValuesReplaceDefaultsOnlyWhereTheyFit) {
    EffectPlugin plugin;
    ASSERT_TRUE(plugin.Load(ParamsModule(), 0, u"Alpha"));
    const EffectParamList stored = {
        Value(0, KELVANE_PARAM_NUMBER, 25),                 // clamped to the maximum 10
        Value(1, KELVANE_PARAM_NUMBER, 0),                  // wrong type: the default stays
        Value(2, KELVANE_PARAM_COLOUR, 1, 0, 0.5),          //
        Value(3, KELVANE_PARAM_POSITION, std::nan(""), 1),  // not finite: the default stays
        Value(4, KELVANE_PARAM_TEXT, 0, 0, 0, "日本語"),    //
        Value(9, KELVANE_PARAM_NUMBER, 1),                  // no such parameter
    };
    Seen seen(ParamsModule());
    ASSERT_TRUE(Draw(plugin, &stored));
    ASSERT_EQ(seen.Count(), 5);
    EXPECT_EQ(seen.Number(0), 10);
    EXPECT_EQ(seen.Number(1), 1);
    EXPECT_EQ(seen.Number(2, 0), 1);
    EXPECT_EQ(seen.Number(2, 2), 0.5);
    EXPECT_EQ(seen.Number(3, 0), 0.1);
    EXPECT_EQ(seen.Text(), "日本語");
}

TEST(EffectParams, InterpolationMovesNumbersColoursAndPositionsOnly) {
    EffectPlugin plugin;
    ASSERT_TRUE(plugin.Load(ParamsModule(), 0, u"Alpha"));
    const EffectParamList from = ResolveEffectParams(plugin.Params(), nullptr);
    const EffectParamList stored = {
        Value(0, KELVANE_PARAM_NUMBER, 6), Value(1, KELVANE_PARAM_ON_OFF, 0),
        Value(2, KELVANE_PARAM_COLOUR, 1, 1, 1), Value(3, KELVANE_PARAM_POSITION, 0.5, 0.5),
        Value(4, KELVANE_PARAM_TEXT, 0, 0, 0, "xyz")};
    const EffectParamList to = ResolveEffectParams(plugin.Params(), &stored);
    const EffectParamList half = InterpolateEffectParams(from, to, 1, 2);
    EXPECT_EQ(half[0].numbers[0], 4);
    EXPECT_EQ(half[1].numbers[0], 1);  // on/off changes at the next event
    EXPECT_EQ(half[2].numbers[0], 0.625);
    EXPECT_EQ(half[3].numbers[1], 0.7);
    EXPECT_EQ(half[4].text, "abc");  // so does a text
    EXPECT_EQ(InterpolateEffectParams(from, to, 2, 2)[0].numbers[0], 6);
    EXPECT_TRUE(DiffersFromDefault(plugin.Params()[0], half[0]));
    EXPECT_FALSE(DiffersFromDefault(plugin.Params()[1], half[1]));
}

TEST(EffectParams, ModulesWithoutTheExportsDrawAsBefore) {
    EffectPlugin plugin;
    ASSERT_TRUE(plugin.Load(U16(KELVANE_EFFECT_TEST_DIR) + u"/good.so", 0, u"Alpha"));
    EXPECT_FALSE(plugin.TakesParams());
    EXPECT_TRUE(plugin.Params().empty());
    const EffectParamList stored = {Value(0, KELVANE_PARAM_NUMBER, 6)};
    EXPECT_TRUE(Draw(plugin, &stored));
    // An effect of the params module that takes none gets an empty block.
    EffectPlugin bare;
    ASSERT_TRUE(bare.Load(ParamsModule(), 0, u"beta"));
    EXPECT_TRUE(bare.Params().empty());
    Seen seen(ParamsModule());
    ASSERT_TRUE(Draw(bare, &stored));
    EXPECT_EQ(seen.Count(), 0);
}

// Two events of the params module on a track: what the module sees as frames pass.
class EventValues : public ::testing::Test {
  protected:
    void SetUp() override {
        project_ = testing::NewProject(8, 8);
        ASSERT_TRUE(frame_.Create(8, 8, 32));
        ASSERT_TRUE(MediaSource::LoadEffect(project_->files[0], ParamsModule() + u">Alpha"));
    }
    void Events(bool interpolate) {
        TrackEvent a = testing::PlacedEvent(0, 0, 8, 8);
        a.flags |= interpolate ? kEventInterpolate : 0u;
        TrackEvent b = testing::PlacedEvent(0, 10, 8, 8);
        testing::AddEvent(*project_, 0, a);
        testing::AddEvent(*project_, 0, b);
        EventExtras first, second;
        first.effectParams = std::make_shared<const EffectParamList>(EffectParamList{
            Value(0, KELVANE_PARAM_NUMBER, 4), Value(1, KELVANE_PARAM_ON_OFF, 0),
            Value(2, KELVANE_PARAM_COLOUR, 0, 0, 0), Value(4, KELVANE_PARAM_TEXT, 0, 0, 0, "a")});
        second.effectParams = std::make_shared<const EffectParamList>(EffectParamList{
            Value(0, KELVANE_PARAM_NUMBER, 8), Value(2, KELVANE_PARAM_COLOUR, 1, 1, 1),
            Value(4, KELVANE_PARAM_TEXT, 0, 0, 0, "b")});
        ASSERT_TRUE(project_->tracks[0].SetExtras(0, first));
        ASSERT_TRUE(project_->tracks[0].SetExtras(1, second));
    }
    void Render(uint32_t frame) { ASSERT_TRUE(RenderFrame(*project_, frame, frame_, true)); }

    std::unique_ptr<Project> project_;
    PixelImage frame_;
};

TEST_F(EventValues, NumbersColoursAndPositionsMoveToTheNextEventWhenInterpolating) {
    Events(true);
    Seen seen(ParamsModule());
    Render(5);
    EXPECT_EQ(seen.Number(0), 6);
    EXPECT_EQ(seen.Number(2, 1), 0.5);
    EXPECT_EQ(seen.Number(1), 0);  // on/off and text hold until the next event
    EXPECT_EQ(seen.Text(), "a");
    EXPECT_EQ(seen.Time(), 0.2);  // frame 5 at 25 frames per second
    Render(10);
    EXPECT_EQ(seen.Number(0), 8);
    EXPECT_EQ(seen.Number(1), 1);  // the second event keeps the default
    EXPECT_EQ(seen.Text(), "b");
}

TEST_F(EventValues, WithoutInterpolationEachEventKeepsItsOwn) {
    Events(false);
    Seen seen(ParamsModule());
    Render(9);
    EXPECT_EQ(seen.Number(0), 4);
    EXPECT_EQ(seen.Number(2, 2), 0);
    Render(12);
    EXPECT_EQ(seen.Number(0), 8);
}

#ifdef KELVANE_EFFECT_MODULE

std::u16string ShippedModule() {
    return U16(KELVANE_EFFECT_MODULE);
}

// A 24 x 16 frame with a pattern that every effect changes.
std::vector<uint32_t> Pattern() {
    std::vector<uint32_t> pixels(24 * 16);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint32_t(i * 2654435761u) & 0x00FFFFFF;
    return pixels;
}

std::vector<uint32_t> Drawn(std::u16string_view name, const EffectParamList* values) {
    EffectPlugin plugin;
    EXPECT_TRUE(plugin.Load(ShippedModule(), 0, name));
    std::vector<uint32_t> pixels = Pattern();
    EffectRect target{0, 0, 24, 16}, region{2, 1, 22, 15};
    const float forward[9] = {1, 0, 0.5f, 0, 1, 0.5f, 0, 0, 1};
    const float inverse[9] = {1, 0, -0.5f, 0, 1, -0.5f, 0, 0, 1};
    EXPECT_TRUE(plugin.Transform(pixels.data(), 24, 16, target, region, 0xC0FFFFFF, 0, forward,
                                 inverse, values));
    return pixels;
}

TEST(ShippedEffectParams, ParametersReachTheSizesAndDirectionsTheNamesPromise) {
    const EffectParamList block16 = {Value(0, KELVANE_PARAM_NUMBER, 16)};
    EXPECT_EQ(Drawn(u"モザイク（小）", &block16), Drawn(u"モザイク（中）", nullptr));
    const EffectParamList radius6 = {Value(0, KELVANE_PARAM_NUMBER, 6)};
    EXPECT_EQ(Drawn(u"ぼかし（弱）", &radius6), Drawn(u"ぼかし（強）", nullptr));
    const EffectParamList down = {Value(0, KELVANE_PARAM_NUMBER, 90)};
    EXPECT_EQ(Drawn(u"グラデーション（左から右）", &down),
              Drawn(u"グラデーション（上から下）", nullptr));
    // A hard edge: the colour whole up to the far edge, so every drawn pixel is the same.
    const EffectParamList hard = {Value(0, KELVANE_PARAM_NUMBER, 0),
                                  Value(1, KELVANE_PARAM_NUMBER, 0)};
    const std::vector<uint32_t> fill = Drawn(u"塗りつぶし", nullptr);
    EXPECT_EQ(Drawn(u"グラデーション（左から右）", &hard), fill);
    // The defaults draw exactly what the effect drew before it had parameters.
    EffectPlugin plain;
    ASSERT_TRUE(plain.Load(ShippedModule(), 0, u"グラデーション（左から右）"));
    ASSERT_EQ(plain.Params().size(), 2u);
    EXPECT_EQ(plain.Params()[1].defaults[0], 1);
}

#endif

}  // namespace
}  // namespace kelvane
