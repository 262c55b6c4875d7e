#include "media/EffectCatalogueText.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "media/EffectParams.h"
#include "media/EffectPlugin.h"
#include "platform/Path.h"

namespace kelvane {

namespace {

std::vector<std::string> ModuleNames(std::u16string_view folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator it(ToNativePath(folder), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        std::error_code statError;
        if (name.size() > 3 && name.ends_with(".so") && it->is_regular_file(statError))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Number(double value, uint32_t decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.*f", int(std::min<uint32_t>(decimals, 9)), value);
    return buffer;
}

// One line: tab-separated fields with any tab or line break inside them made a space.
std::string Flat(std::u16string_view text) {
    std::string out = ToUtf8(text);
    for (char& c : out) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return out;
}

std::string ParamLine(const EffectParamInfo& info) {
    std::string type, value, range;
    switch (info.type) {
        case KELVANE_PARAM_NUMBER:
            type = "数値";
            value = Number(info.defaults[0], info.decimals);
            range =
                Number(info.minimum, info.decimals) + "〜" + Number(info.maximum, info.decimals);
            break;
        case KELVANE_PARAM_ON_OFF:
            type = "オン/オフ";
            value = info.defaults[0] >= 0.5 ? "オン" : "オフ";
            break;
        case KELVANE_PARAM_COLOUR:
            type = "色";
            value = Number(info.defaults[0], 3) + "," + Number(info.defaults[1], 3) + "," +
                    Number(info.defaults[2], 3);
            break;
        case KELVANE_PARAM_POSITION:
            type = "位置";
            value = Number(info.defaults[0], 3) + "," + Number(info.defaults[1], 3);
            break;
        default:
            type = "文字列";
            value = Flat(EffectText(info.defaultText));
            break;
    }
    return "    " + Flat(EffectText(info.name)) + "\t" + type + "\t" + value + "\t" + range + "\t" +
           Flat(EffectText(info.explanation)) + "\n";
}

}  // namespace

std::string EffectCatalogueText(std::u16string_view folder) {
    std::string text;
    for (const std::string& name : ModuleNames(folder)) {
        const std::u16string path = std::u16string(folder) + u"/" + FromUtf8(name);
        EffectPlugin module;
        std::vector<EffectInfo> records;
        if (!module.LoadModule(path) || !module.Enumerate(records))
            continue;  // not an effect module
        for (const EffectInfo& record : records) {
            text += "\\" + name + ">" + Flat(EffectText(record.name)) + "\t" +
                    Flat(EffectText(record.text)) + "\t" + Flat(EffectText(record.description)) +
                    "\n";
            EffectPlugin effect;
            if (!effect.Load(path, 0, EffectText(record.name)))
                continue;
            for (const EffectParamInfo& info : effect.Params())
                text += ParamLine(info);
        }
    }
    return text;
}

}  // namespace kelvane
