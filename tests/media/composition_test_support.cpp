#include "composition_test_support.h"

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "picture_test_tools.h"

namespace kelvane::testing {

namespace {

constexpr RefTime kFrame = 400000;  // 25 frames per second

const char* const kEffectSource = R"(#include "kelvane/kelvane_effect.h"
#include <string.h>
static int32_t result = 1;
static int32_t calls = 0;
KELVANE_EFFECT_EXPORT void TestSetResult(int32_t r) { result = r; }
KELVANE_EFFECT_EXPORT int32_t TestCalls(void) { return calls; }
KELVANE_EFFECT_EXPORT void TestResetCalls(void) { calls = 0; }
static void describe(EffectInfo* info) {
    memset(info, 0, sizeof(*info));
    info->id = 0;
    info->name[0] = 'F';
}
KELVANE_EFFECT_EXPORT int32_t EnumEffect(EffectInfo* infos) {
    if (infos) describe(infos);
    return 1;
}
KELVANE_EFFECT_EXPORT int32_t QueryEffect(int32_t index, EffectInfo* info) {
    if (index != 0 || !info) return 0;
    describe(info);
    return 1;
}
KELVANE_EFFECT_EXPORT int32_t TransformEffect(int32_t id, uint32_t* pixels, int32_t width,
        int32_t height, const EffectRect* target, const EffectRect* region, uint32_t colour,
        int32_t blendMode, const float* matrix, const float* inverse) {
    (void)id; (void)region; (void)blendMode; (void)matrix; (void)inverse;
    ++calls;
    uint32_t pixel = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    for (int32_t y = target->top; y < target->bottom; ++y)
        for (int32_t x = target->left; x < target->right; ++x)
            if (x >= 0 && y >= 0 && x < width && y < height)
                pixels[(height - 1 - y) * width + x] = pixel;
    return result;
}
)";

struct CompiledEffect {
    testing::ScratchFolder folder;
    std::string path;
    void* handle = nullptr;

    CompiledEffect() {
        // Named by the build: a source path taken from __FILE__ may be relative to the build
        // folder, which is not where the tests run.
        const std::filesystem::path include = KELVANE_PLUGIN_INCLUDE_DIR;
        const std::string source = folder.File("fill_effect.c");
        std::ofstream(source) << kEffectSource;
        const std::string out = folder.File("fill_effect.so");
        if (testing::RunTool("cc -std=c11 -shared -fPIC -O1 -I'" + include.string() + "' '" +
                             source + "' -o '" + out + "'")) {
            handle = dlopen(out.c_str(), RTLD_NOW);
            if (handle != nullptr) {
                path = out;
            }
        }
    }
    template <typename F>
    F Symbol(const char* name) const {
        return handle != nullptr ? reinterpret_cast<F>(dlsym(handle, name)) : nullptr;
    }
};

CompiledEffect& Effect() {
    static CompiledEffect effect;
    return effect;
}

}  // namespace

std::unique_ptr<Project> NewProject(uint32_t width, uint32_t height, uint32_t background,
                                    uint32_t length) {
    std::unique_ptr<Project> project = Project::Create();
    project->ApplyDefaults();
    project->settings.width = width;
    project->settings.height = height;
    project->settings.background = background;
    project->settings.length = length;
    project->settings.frameRate = 25.0;
    project->settings.frameDuration = kFrame;
    project->settings.defaultDrawMethod = int32_t(DrawMethod::Standard);
    project->CopyDefaultMethodToTracks();
    return project;
}

void AddEvent(Project& project, uint32_t track, const TrackEvent& event) {
    if (!project.tracks[track].InsertSorted(&event, 1)) {
        std::abort();
    }
    project.CopyDefaultMethodToTracks();
}

uint32_t At(const PixelImage& image, int x, int y) {
    return image.Row32(y)[x];
}

std::string ShippedEffectModule() {
#ifdef KELVANE_EFFECT_MODULE
    return KELVANE_EFFECT_MODULE;
#else
    return std::string();
#endif
}

const std::string& TestEffect::Path() {
    return Effect().path;
}

void TestEffect::SetResult(int32_t result) {
    if (auto set = Effect().Symbol<void (*)(int32_t)>("TestSetResult")) {
        set(result);
    }
}

int32_t TestEffect::Calls() {
    auto calls = Effect().Symbol<int32_t (*)()>("TestCalls");
    return calls != nullptr ? calls() : -1;
}

void TestEffect::ResetCalls() {
    if (auto reset = Effect().Symbol<void (*)()>("TestResetCalls")) {
        reset();
    }
}

}  // namespace kelvane::testing
