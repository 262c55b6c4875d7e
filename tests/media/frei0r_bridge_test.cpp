// The frei0r bridge against the frei0r plug-ins installed on this machine: its output compared with
// what a plug-in gives when called directly, the draw-back through placement, opacity and blend
// mode, and every listed plug-in run once at 1080p and at an odd small size.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/EffectPlugin.h"

#if defined(KELVANE_FREI0R_MODULE)
#include "frei0r.h"

namespace kelvane {
namespace {

constexpr float kCentreX = 0.500244140625f;

std::u16string Module() {
    std::string path = KELVANE_FREI0R_MODULE;
    return std::u16string(path.begin(), path.end());
}

std::u16string U16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// Our frame, pixel (x, y) counted from the top.
struct Frame {
    int32_t width, height;
    std::vector<uint32_t> pixels;
    Frame(int32_t w, int32_t h) : width(w), height(h), pixels(size_t(w) * size_t(h)) {
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x)
                At(x, y) = uint32_t((x * 5 + 20) & 0xFF) << 16 |
                           uint32_t((y * 7 + 10) & 0xFF) << 8 | uint32_t((x * y) % 200 + 30);
        }
    }
    uint32_t& At(int32_t x, int32_t y) {
        return pixels[size_t(height - 1 - y) * size_t(width) + size_t(x)];
    }
};

struct Placement {
    float forward[9] = {1, 0, kCentreX, 0, 1, 0.5f, 0, 0, 1};
    float inverse[9] = {1, 0, kCentreX, 0, 1, 0.5f, 0, 0, 1};
};

bool RunEffect(std::u16string_view name, Frame& frame, const EffectParamList* values, double time,
               EffectRect region, uint32_t colour = 0x00FFFFFF, int32_t blend = 0,
               const Placement& placement = Placement()) {
    EffectPlugin plugin;
    if (!plugin.Load(Module(), 0, name)) {
        ADD_FAILURE() << "not listed";
        return false;
    }
    EffectRect target{0, 0, frame.width, frame.height};
    return plugin.Transform(frame.pixels.data(), frame.width, frame.height, target, region, colour,
                            blend, placement.forward, placement.inverse, values, time);
}

EffectParamValue Number(uint32_t index, double value) {
    EffectParamValue v;
    v.index = index;
    v.type = KELVANE_PARAM_NUMBER;
    v.numbers = {value, 0, 0};
    return v;
}

// The plug-in called on its own: one fresh instance, the parameters set, one update. The output
// as top-down 0xAARRGGBB words.
std::vector<uint32_t> Direct(const std::string& file, Frame& frame,
                             const std::vector<std::pair<int, double>>& params, double time) {
    void* handle = dlopen(("/usr/lib/frei0r-1/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(handle, nullptr) << file;
    if (!handle)
        return {};
    auto init = reinterpret_cast<int (*)()>(dlsym(handle, "f0r_init"));
    auto info =
        reinterpret_cast<void (*)(f0r_plugin_info_t*)>(dlsym(handle, "f0r_get_plugin_info"));
    auto construct =
        reinterpret_cast<f0r_instance_t (*)(unsigned, unsigned)>(dlsym(handle, "f0r_construct"));
    auto destruct = reinterpret_cast<void (*)(f0r_instance_t)>(dlsym(handle, "f0r_destruct"));
    auto set = reinterpret_cast<void (*)(f0r_instance_t, f0r_param_t, int)>(
        dlsym(handle, "f0r_set_param_value"));
    auto update = reinterpret_cast<void (*)(f0r_instance_t, double, const uint32_t*, uint32_t*)>(
        dlsym(handle, "f0r_update"));
    init();
    f0r_plugin_info_t plugin{};
    info(&plugin);
    const bool rgba = plugin.color_model == F0R_COLOR_MODEL_RGBA8888;
    const auto swap = [](uint32_t p) {
        return (p & 0xFF00FF00u) | ((p >> 16) & 0xFF) | ((p & 0xFF) << 16);
    };
    const size_t n = size_t(frame.width) * size_t(frame.height);
    auto* in = static_cast<uint32_t*>(std::aligned_alloc(16, n * 4));
    auto* out = static_cast<uint32_t*>(std::aligned_alloc(16, n * 4));
    for (int32_t y = 0; y < frame.height; ++y) {
        for (int32_t x = 0; x < frame.width; ++x) {
            uint32_t p = frame.At(x, y) | 0xFF000000u;
            in[size_t(y) * size_t(frame.width) + size_t(x)] = rgba ? swap(p) : p;
        }
    }
    f0r_instance_t instance = construct(unsigned(frame.width), unsigned(frame.height));
    for (const auto& [index, value] : params) {
        double v = value;
        set(instance, &v, index);
    }
    update(instance, time, plugin.plugin_type == F0R_PLUGIN_TYPE_SOURCE ? nullptr : in, out);
    std::vector<uint32_t> result(out, out + n);
    for (uint32_t& p : result)
        p = rgba ? swap(p) : p;
    destruct(instance);
    std::free(in);
    std::free(out);
    return result;
}

// `s` (0xAARRGGBB) over `d` at full opacity, weighted by its presence: alpha 255 is 256.
uint32_t Over(uint32_t d, uint32_t s) {
    const uint32_t a = s >> 24;
    const uint32_t w = a + (a >> 7);
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t dc = (d >> shift) & 0xFF, sc = (s >> shift) & 0xFF;
        out |= ((w * sc + (256 - w) * dc) >> 8) << shift;
    }
    return out;
}

struct Known {
    const char* name;
    const char* file;
    std::vector<std::pair<int, double>> params;
};

TEST(Frei0rBridge, MatchesThePluginsCalledDirectly) {
    const Known known[] = {
        {"IIR blur", "IIRblur.so", {{0, 0.4}}},
        {"Glow", "glow.so", {{0, 0.5}}},
        {"Brightness", "brightness.so", {{0, 0.7}}},
        {"Invert0r", "invert0r.so", {}},
        {"Vignette", "vignette.so", {{2, 0.3}}},
        {"Lissajous0r", "lissajous0r.so", {{0, 0.3}, {1, 0.7}}},
    };
    for (const Known& k : known) {
        SCOPED_TRACE(k.name);
        Frame frame(64, 48);
        Frame original = frame;
        EffectParamList values;
        for (const auto& [index, value] : k.params)
            values.push_back(Number(uint32_t(index), value));
        const std::vector<uint32_t> direct = Direct(k.file, original, k.params, 0.8);
        ASSERT_TRUE(RunEffect(U16(k.name), frame, &values, 0.8, {0, 0, 64, 48}));
        int differing = 0;
        for (int32_t y = 0; y < 48; ++y) {
            for (int32_t x = 0; x < 64; ++x) {
                const uint32_t expected =
                    Over(original.At(x, y), direct[size_t(y) * 64 + size_t(x)]);
                if (frame.At(x, y) != expected && differing < 3)
                    ADD_FAILURE() << x << "," << y << " got " << std::hex << frame.At(x, y)
                                  << " expected " << expected << " direct "
                                  << direct[size_t(y) * 64 + size_t(x)] << " under "
                                  << original.At(x, y);
                differing += frame.At(x, y) != expected;
            }
        }
        EXPECT_EQ(differing, 0);
        EXPECT_NE(frame.pixels, original.pixels) << "the effect changed nothing";
    }
}

TEST(Frei0rBridge, OutputIsPlacedLikeAPictureWithOpacityAndBlendMode) {
    // Half size: output pixel (x, y) shows the region point (2x + 1, 2y + 1).
    Placement half;
    const float forward[9] = {0.5f, 0, kCentreX, 0, 0.5f, 0.5f, 0, 0, 1};
    const float inverse[9] = {2, 0, kCentreX * 2, 0, 2, 1, 0, 0, 1};
    std::copy(forward, forward + 9, half.forward);
    std::copy(inverse, inverse + 9, half.inverse);
    const EffectRect region{8, 4, 40, 30};
    for (int32_t blend : {4, 6}) {
        SCOPED_TRACE(blend);
        Frame frame(64, 48);
        const Frame original = frame;
        // Half opacity, white: the event's colour leaves the output as it is.
        ASSERT_TRUE(RunEffect(u"Invert0r", frame, nullptr, 0, region, 0x80FFFFFF, blend, half));
        for (int32_t y = 0; y < 48; ++y) {
            for (int32_t x = 0; x < 64; ++x) {
                uint32_t d = const_cast<Frame&>(original).At(x, y);
                uint32_t expected = d;
                if (x >= 4 && x <= 19 && y >= 2 && y <= 14) {
                    uint32_t s = ~const_cast<Frame&>(original).At(2 * x + 1, 2 * y + 1);
                    expected = 0;
                    for (int shift = 0; shift <= 16; shift += 8) {
                        uint32_t dc = (d >> shift) & 0xFF, sc = (s >> shift) & 0xFF;
                        uint32_t r = blend == 4 ? dc * sc / 255 : (dc > sc ? dc - sc : 0);
                        expected |= ((128 * r + 128 * dc) >> 8) << shift;
                    }
                }
                ASSERT_EQ(frame.At(x, y), expected) << x << "," << y;
            }
        }
    }
}

TEST(Frei0rBridge, ListsFiltersAndSourcesButNoMixers) {
    EffectPlugin module;
    ASSERT_TRUE(module.LoadModule(Module()));
    std::vector<EffectInfo> records;
    ASSERT_TRUE(module.Enumerate(records));
    std::vector<std::u16string> names;
    for (const EffectInfo& r : records)
        names.push_back(std::u16string(EffectText(r.name)));
    for (const char* expected : {"Glow", "IIR blur", "Plasma", "Lissajous0r"})
        EXPECT_NE(std::find(names.begin(), names.end(), U16(expected)), names.end()) << expected;
    for (const char* mixer : {"addition", "alphaatop", "blend"})
        EXPECT_EQ(std::find(names.begin(), names.end(), U16(mixer)), names.end()) << mixer;
    // Parameters come across with the plug-in's own explanation.
    EffectPlugin glow;
    ASSERT_TRUE(glow.Load(Module(), 0, u"Glow"));
    ASSERT_EQ(glow.Params().size(), 1u);
    EXPECT_EQ(glow.Params()[0].type, KELVANE_PARAM_NUMBER);
    EXPECT_EQ(EffectText(glow.Params()[0].explanation), u"Blur of the glow");
}

// Every listed filter and source, once on a 1080p frame and once on a 37 x 23 frame, which the
// bridge pads to 40 x 24.
TEST(Frei0rAllPlugins, EveryListedEffectRunsAt1080pAndAtAnOddSize) {
    EffectPlugin module;
    ASSERT_TRUE(module.LoadModule(Module()));
    std::vector<EffectInfo> records;
    ASSERT_TRUE(module.Enumerate(records));
    int run = 0;
    for (const EffectInfo& record : records) {
        const std::u16string name(EffectText(record.name));
        if (name.starts_with(u"（使用不可）"))
            continue;
        for (auto [w, h] : {std::pair{1920, 1080}, std::pair{37, 23}}) {
            Frame frame(w, h);
            EXPECT_TRUE(RunEffect(name, frame, nullptr, 1.0, {0, 0, w, h}))
                << std::string(name.begin(), name.end()) << " " << w << "x" << h;
        }
        ++run;
    }
    EXPECT_GE(run, 50);
}

}  // namespace
}  // namespace kelvane

#endif
