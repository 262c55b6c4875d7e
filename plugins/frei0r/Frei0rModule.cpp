// The exports of the frei0r bridge, "\frei0r.so" beside the executables: every frei0r filter and
// source found on this machine as an effect of ours, named as the plug-in names itself. A filter
// works on the frame composed so far; what it gives back, or what a source generates, is drawn
// through the event's region, placement, opacity and blend mode like a picture, its alpha
// weighting the draw.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

#include "Catalogue.h"
#include "DrawBack.h"
#include "Runner.h"
#include "TextFields.h"
#include "frei0r.h"
#include "kelvane/kelvane_effect.h"

namespace {

using frei0r_bridge::Catalogue;

constexpr uint32_t kVersion = 0x20000;

// The folder this module was loaded from, where frei0r-probe lies beside it.
std::string ProbeProgram() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ProbeProgram), &info) == 0 || !info.dli_fname)
        return {};
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    std::string program =
        (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/frei0r-probe";
    return access(program.c_str(), X_OK) == 0 ? program : std::string();
}

// Discovered once, when the module is first asked.
const Catalogue& Effects() {
    static const Catalogue catalogue = [] {
        try {
            return frei0r_bridge::Discover(
                frei0r_bridge::PluginFiles(frei0r_bridge::SearchFolders()), ProbeProgram());
        } catch (const std::bad_alloc&) {
            return Catalogue{};
        }
    }();
    return catalogue;
}

frei0r_bridge::Runner& TheRunner() {
    static frei0r_bridge::Runner runner;
    return runner;
}

int32_t RecordCount() {
    const Catalogue& c = Effects();
    return int32_t(c.effects.size() + c.leftOut.size());
}

const frei0r_bridge::Catalogue::Entry* EffectOf(int32_t id) {
    const Catalogue& c = Effects();
    if (id < 0 || size_t(id) >= c.effects.size())
        return nullptr;
    return &c.effects[size_t(id)];
}

void Describe(int32_t index, EffectInfo* info) {
    std::memset(info, 0, sizeof(*info));
    info->id = index;
    info->version = kVersion;
    const Catalogue& c = Effects();
    if (size_t(index) < c.effects.size()) {
        const auto& entry = c.effects[size_t(index)];
        const auto& plugin = entry.plugin;
        const bool filter = plugin.type == F0R_PLUGIN_TYPE_FILTER;
        frei0r_bridge::SetText(info->name, plugin.name);
        frei0r_bridge::SetText(info->text,
                               filter ? "frei0r フィルタ: それまでに描かれた画面に掛けます。"
                                      : "frei0r ソース: 画像を生成します。");
        std::string description = plugin.explanation;
        description += "\r\n作者: " + plugin.author + "（バージョン " +
                       std::to_string(plugin.major) + "." + std::to_string(plugin.minor) + "）";
        description += "\r\nファイル: " + plugin.path;
        for (const std::string& other : entry.shadowed)
            description += "\r\n同じ名前のため使われません: " + other;
        frei0r_bridge::SetText(info->description, description);
        return;
    }
    const auto& left = c.leftOut[size_t(index) - c.effects.size()];
    size_t slash = left.path.rfind('/');
    frei0r_bridge::SetText(info->name, "（使用不可）" + left.path.substr(slash + 1));
    frei0r_bridge::SetText(info->text, left.reason);
    frei0r_bridge::SetText(info->description,
                           "このプラグインは一覧に加えられません。\r\nファイル: " + left.path +
                               "\r\n理由: " + left.reason);
}

void DescribeParam(const frei0r_bridge::ParamDescription& param, EffectParamInfo* info) {
    std::memset(info, 0, sizeof(*info));
    switch (param.type) {
        case F0R_PARAM_BOOL:
            info->type = KELVANE_PARAM_ON_OFF;
            info->defaults[0] = param.defaults[0] >= 0.5 ? 1 : 0;
            break;
        case F0R_PARAM_DOUBLE:
            info->type = KELVANE_PARAM_NUMBER;
            info->decimals = 3;
            info->minimum = 0;
            info->maximum = 1;
            info->defaults[0] = param.defaults[0];
            break;
        case F0R_PARAM_COLOR:
            info->type = KELVANE_PARAM_COLOUR;
            std::copy(param.defaults, param.defaults + 3, info->defaults);
            break;
        case F0R_PARAM_POSITION:
            info->type = KELVANE_PARAM_POSITION;
            info->defaults[0] = param.defaults[0];
            info->defaults[1] = param.defaults[1];
            break;
        default:
            info->type = KELVANE_PARAM_TEXT;
            frei0r_bridge::SetText(info->defaultText, param.text);
            break;
    }
    // Plug-ins that give a range outside 0 to 1 for a number still get what the user sets.
    if (info->type == KELVANE_PARAM_NUMBER) {
        info->minimum = std::min(info->minimum, info->defaults[0]);
        info->maximum = std::max(info->maximum, info->defaults[0]);
    }
    frei0r_bridge::SetText(info->name, param.name);
    frei0r_bridge::SetText(info->explanation, param.explanation);
}

// The block's values as frei0r settings; the defaults where the block has none.
std::vector<frei0r_bridge::ParamSetting> Settings(const frei0r_bridge::PluginDescription& plugin,
                                                  const EffectParamBlock* block) {
    std::vector<frei0r_bridge::ParamSetting> settings(plugin.params.size());
    for (size_t i = 0; i < settings.size(); ++i) {
        const auto& param = plugin.params[i];
        auto& s = settings[i];
        std::copy(param.defaults, param.defaults + 3, s.numbers);
        s.text = param.text;
        if (!block || !block->values || i >= block->count)
            continue;
        const EffectValue& value = block->values[i];
        if (param.type == F0R_PARAM_STRING) {
            if (value.type == KELVANE_PARAM_TEXT && value.text)
                s.text = value.text;
            continue;
        }
        bool finite = std::isfinite(value.numbers[0]) && std::isfinite(value.numbers[1]) &&
                      std::isfinite(value.numbers[2]);
        if (finite && value.type != KELVANE_PARAM_TEXT)
            std::copy(value.numbers, value.numbers + 3, s.numbers);
    }
    return settings;
}

int32_t Draw(int32_t id, uint32_t* pixels, int32_t width, int32_t height, const EffectRect* target,
             const EffectRect* region, uint32_t colour, int32_t blendMode, const float* matrix,
             const float* inverse, const EffectParamBlock* block) {
    const auto* entry = EffectOf(id);
    if (!entry)
        return 0;
    effect::Canvas canvas;
    if (!canvas.Prepare(pixels, width, height, target, region, colour, matrix, inverse))
        return 0;
    if (!effect::ValidBlendMode(blendMode) || canvas.Empty())
        return 1;
    try {
        const uint64_t instance = block && block->size >= 32 ? block->instance : 0;
        const double time = block && block->size >= 24 ? block->time : 0.0;
        if (!TheRunner().Run(entry->plugin, instance, id, Settings(entry->plugin, block), time,
                             pixels, width, height, [&](const frei0r_bridge::PluginOutput& output) {
                                 frei0r_bridge::DrawBack(canvas, blendMode, output);
                             })) {
            return 0;
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

}  // namespace

extern "C" {

KELVANE_EFFECT_EXPORT int32_t EnumEffect(EffectInfo* infos) {
    const int32_t count = RecordCount();
    if (infos) {
        for (int32_t i = 0; i < count; ++i)
            Describe(i, &infos[i]);
    }
    return count;
}

KELVANE_EFFECT_EXPORT int32_t QueryEffect(int32_t index, EffectInfo* info) {
    if (index < 0 || index >= RecordCount() || !info)
        return 0;
    Describe(index, info);
    return 1;
}

KELVANE_EFFECT_EXPORT int32_t TransformEffect(int32_t id, uint32_t* pixels, int32_t width,
                                              int32_t height, const EffectRect* target,
                                              const EffectRect* region, uint32_t colour,
                                              int32_t blendMode, const float* matrix,
                                              const float* inverse) {
    return Draw(id, pixels, width, height, target, region, colour, blendMode, matrix, inverse,
                nullptr);
}

KELVANE_EFFECT_EXPORT int32_t DescribeEffectParams(int32_t id, EffectParamInfo* infos) {
    if (id < 0 || id >= RecordCount())
        return -1;
    const auto* entry = EffectOf(id);
    if (!entry)
        return 0;  // a plug-in left out: nothing to set
    const auto& params = entry->plugin.params;
    if (infos) {
        for (size_t i = 0; i < params.size(); ++i)
            DescribeParam(params[i], &infos[i]);
    }
    return int32_t(params.size());
}

KELVANE_EFFECT_EXPORT int32_t TransformEffectWithParams(int32_t id, uint32_t* pixels, int32_t width,
                                                        int32_t height, const EffectRect* target,
                                                        const EffectRect* region, uint32_t colour,
                                                        int32_t blendMode, const float* matrix,
                                                        const float* inverse,
                                                        const EffectParamBlock* params) {
    return Draw(id, pixels, width, height, target, region, colour, blendMode, matrix, inverse,
                params);
}

}  // extern "C"
