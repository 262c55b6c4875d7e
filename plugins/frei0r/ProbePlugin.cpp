#include <dlfcn.h>

#include "PluginDescription.h"
#include "frei0r.h"

namespace frei0r_bridge {

namespace {

template <typename Function>
Function Find(void* handle, const char* name) {
    return reinterpret_cast<Function>(dlsym(handle, name));
}

std::string Text(const char* text) {
    return text ? std::string(text) : std::string();
}

}  // namespace

ProbeOutcome ProbePlugin(const std::string& path, PluginDescription& description,
                         std::string& reason) {
    description = PluginDescription{};
    description.path = path;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = dlerror();
        reason = "読み込めません: " + Text(error);
        return ProbeOutcome::Refused;
    }
    auto init = Find<int (*)()>(handle, "f0r_init");
    auto construct = Find<f0r_instance_t (*)(unsigned, unsigned)>(handle, "f0r_construct");
    auto info = Find<void (*)(f0r_plugin_info_t*)>(handle, "f0r_get_plugin_info");
    auto paramInfo = Find<void (*)(f0r_param_info_t*, int)>(handle, "f0r_get_param_info");
    auto destruct = Find<void (*)(f0r_instance_t)>(handle, "f0r_destruct");
    auto getParam = Find<void (*)(f0r_instance_t, f0r_param_t, int)>(handle, "f0r_get_param_value");
    const char* missing = !init        ? "f0r_init"
                          : !construct ? "f0r_construct"
                          : !info      ? "f0r_get_plugin_info"
                                       : nullptr;
    if (missing) {
        reason = std::string(missing) + " がありません。";
        return ProbeOutcome::Refused;
    }
    if (init() == 0) {
        reason = "f0r_init が失敗しました。";
        return ProbeOutcome::Refused;
    }
    f0r_plugin_info_t plugin{};
    info(&plugin);
    // Mixers draw from two or three inputs, which an effect of ours does not have.
    if (plugin.plugin_type == F0R_PLUGIN_TYPE_MIXER2 ||
        plugin.plugin_type == F0R_PLUGIN_TYPE_MIXER3)
        return ProbeOutcome::Mixer;
    missing = !paramInfo                              ? "f0r_get_param_info"
              : !destruct                             ? "f0r_destruct"
              : !getParam                             ? "f0r_get_param_value"
              : !dlsym(handle, "f0r_set_param_value") ? "f0r_set_param_value"
              : !dlsym(handle, "f0r_update")          ? "f0r_update"
                                                      : nullptr;
    if (missing) {
        reason = std::string(missing) + " がありません。";
        return ProbeOutcome::Refused;
    }
    if (plugin.plugin_type != F0R_PLUGIN_TYPE_FILTER &&
        plugin.plugin_type != F0R_PLUGIN_TYPE_SOURCE) {
        reason = "種類 " + std::to_string(plugin.plugin_type) + " には対応していません。";
        return ProbeOutcome::Refused;
    }
    if (plugin.color_model != F0R_COLOR_MODEL_BGRA8888 &&
        plugin.color_model != F0R_COLOR_MODEL_RGBA8888 &&
        plugin.color_model != F0R_COLOR_MODEL_PACKED32) {
        reason = "色の形式 " + std::to_string(plugin.color_model) + " には対応していません。";
        return ProbeOutcome::Refused;
    }
    if (plugin.frei0r_version > FREI0R_MAJOR_VERSION) {
        reason = "frei0r のバージョン " + std::to_string(plugin.frei0r_version) +
                 " には対応していません。";
        return ProbeOutcome::Refused;
    }
    if (plugin.num_params < 0 || plugin.num_params > 1024) {
        reason = "設定項目の数が不正です。";
        return ProbeOutcome::Refused;
    }
    description.type = plugin.plugin_type;
    description.colourModel = plugin.color_model;
    description.name = Text(plugin.name);
    description.author = Text(plugin.author);
    description.explanation = Text(plugin.explanation);
    description.major = plugin.major_version;
    description.minor = plugin.minor_version;
    if (description.name.empty()) {
        reason = "名前がありません。";
        return ProbeOutcome::Refused;
    }
    // The defaults are what a fresh instance holds.
    f0r_instance_t instance = construct(64, 64);
    if (!instance) {
        reason = "f0r_construct が失敗しました。";
        return ProbeOutcome::Refused;
    }
    for (int i = 0; i < plugin.num_params; ++i) {
        f0r_param_info_t param{};
        paramInfo(&param, i);
        ParamDescription p;
        p.type = param.type;
        p.name = Text(param.name);
        p.explanation = Text(param.explanation);
        switch (param.type) {
            case F0R_PARAM_BOOL:
            case F0R_PARAM_DOUBLE: {
                double value = 0;
                getParam(instance, &value, i);
                p.defaults[0] = value;
                break;
            }
            case F0R_PARAM_COLOR: {
                f0r_param_color_t colour{};
                getParam(instance, &colour, i);
                p.defaults[0] = colour.r;
                p.defaults[1] = colour.g;
                p.defaults[2] = colour.b;
                break;
            }
            case F0R_PARAM_POSITION: {
                f0r_param_position_t position{};
                getParam(instance, &position, i);
                p.defaults[0] = position.x;
                p.defaults[1] = position.y;
                break;
            }
            case F0R_PARAM_STRING: {
                char* text = nullptr;
                getParam(instance, &text, i);
                p.text = Text(text);
                break;
            }
            default:
                destruct(instance);
                reason = "設定項目 " + p.name + " の種類 " + std::to_string(param.type) +
                         " には対応していません。";
                return ProbeOutcome::Refused;
        }
        description.params.push_back(std::move(p));
    }
    destruct(instance);
    return ProbeOutcome::Listed;
}

}  // namespace frei0r_bridge
