#include "media/EffectPlugin.h"

#include <atomic>
#include <new>

#include "media/EffectParams.h"
#include "platform/FailureNote.h"
#include "platform/Path.h"

namespace kelvane {

namespace {

// A module that claims more effects than this is taken as broken rather than trusted with an
// allocation of its choosing.
constexpr int32_t kMaxEffects = 65536;
constexpr int32_t kMaxParams = 4096;

std::atomic<uint64_t> lastInstance{0};

}  // namespace

EffectPath SplitEffectPath(std::u16string_view path) {
    EffectPath result;
    size_t cut = path.find(u'>');
    if (cut == std::u16string_view::npos) {
        result.module = std::u16string(path);
    } else {
        result.module = std::u16string(path.substr(0, cut));
        result.name = std::u16string(path.substr(cut + 1));
    }
    return result;
}

bool EffectPlugin::LoadModule(std::u16string_view modulePath) {
    EffectPlugin fresh;
    if (!fresh.module_.Load(modulePath)) {
        NoteFileFailure(modulePath, "プラグインとして読み込めません。");
        return false;
    }
    fresh.query_ = fresh.module_.Lookup<QueryEffectProc>("QueryEffect");
    fresh.enumerate_ = fresh.module_.Lookup<EnumEffectProc>("EnumEffect");
    fresh.transform_ = fresh.module_.Lookup<TransformEffectProc>("TransformEffect");
    // Parameters come as a pair: one export without the other is not used.
    fresh.describe_ = fresh.module_.Lookup<DescribeEffectParamsProc>("DescribeEffectParams");
    fresh.transformWithParams_ =
        fresh.module_.Lookup<TransformEffectWithParamsProc>("TransformEffectWithParams");
    if (!fresh.describe_ || !fresh.transformWithParams_) {
        fresh.describe_ = nullptr;
        fresh.transformWithParams_ = nullptr;
    }
    if (!fresh.query_ || !fresh.enumerate_ || !fresh.transform_) {
        NoteFailure(modulePath,
                    "プラグインに必要な関数 (EnumEffect, QueryEffect, "
                    "TransformEffect) がありません。");
        return false;
    }
    *this = std::move(fresh);
    return true;
}

bool EffectPlugin::Load(std::u16string_view modulePath, int32_t index,
                        std::optional<std::u16string_view> name) {
    EffectPlugin fresh;
    if (!fresh.LoadModule(modulePath))
        return false;
    bool selected = name ? fresh.SelectByName(*name) : fresh.SelectByIndex(index);
    if (!selected) {
        NoteFailure(modulePath, name ? "プラグインに効果\"" + ToUtf8(*name) + "\"がありません。"
                                     : std::string("プラグインに効果がありません。"));
        return false;
    }
    if (fresh.info_.version > kEffectVersionMax) {
        NoteFailure(modulePath, "プラグインの効果のバージョンに対応していません。");
        return false;
    }
    if (!fresh.ReadParams()) {
        NoteFailure(modulePath, "プラグインの効果の設定項目を読み取れません。");
        return false;
    }
    fresh.instance_ = ++lastInstance;
    *this = std::move(fresh);
    return true;
}

bool EffectPlugin::SelectByName(std::u16string_view name) {
    std::vector<EffectInfo> records;
    if (!Enumerate(records))
        return false;
    for (const EffectInfo& record : records) {
        if (EffectText(record.name) == name) {
            info_ = record;
            effectId_ = record.id;
            return true;
        }
    }
    return false;
}

bool EffectPlugin::SelectByIndex(int32_t index) {
    EffectInfo record{};
    if (query_(index, &record) == 0)
        return false;
    info_ = record;
    // The index, not the record's id: what the module described at this index is what it draws.
    effectId_ = index;
    return true;
}

bool EffectPlugin::ReadParams() {
    params_.clear();
    if (!describe_)
        return true;
    const int32_t count = describe_(effectId_, nullptr);
    if (count < 0 || count > kMaxParams)
        return false;
    try {
        params_.assign(size_t(count), ::EffectParamInfo{});
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (count > 0 && describe_(effectId_, params_.data()) != count) {
        params_.clear();
        return false;
    }
    for (const ::EffectParamInfo& param : params_) {
        if (param.type > KELVANE_PARAM_TEXT) {
            params_.clear();
            return false;
        }
    }
    return true;
}

bool EffectPlugin::Enumerate(std::vector<EffectInfo>& records) const {
    records.clear();
    if (!enumerate_)
        return false;
    int32_t count = enumerate_(nullptr);
    if (count < 0 || count > kMaxEffects)
        return false;
    try {
        records.assign(size_t(count), EffectInfo{});
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (enumerate_(records.data()) != count) {
        records.clear();
        return false;
    }
    return true;
}

bool EffectPlugin::Transform(uint32_t* pixels, int32_t width, int32_t height,
                             const EffectRect& target, const EffectRect& region, uint32_t colour,
                             int32_t blendMode, const float* matrix, const float* inverse,
                             const EffectParamList* values, double time) const {
    if (!transform_)
        return false;
    if (!transformWithParams_) {
        return transform_(effectId_, pixels, width, height, &target, &region, colour, blendMode,
                          matrix, inverse) != 0;
    }
    // The module gets exactly one value per parameter, of its type and within its range;
    // whatever the caller lacks is the default.
    const EffectParamList resolved = ResolveEffectParams(params_, values);
    std::vector<::EffectValue> block(resolved.size(), ::EffectValue{});
    for (size_t i = 0; i < block.size(); ++i) {
        const EffectParamValue& value = resolved[i];
        block[i].type = params_[i].type;
        for (size_t k = 0; k < 3; ++k)
            block[i].numbers[k] = value.numbers[k];
        if (params_[i].type == KELVANE_PARAM_TEXT)
            block[i].text = value.text.c_str();
    }
    ::EffectParamBlock params{};
    params.size = sizeof(params);
    params.count = uint32_t(block.size());
    params.values = block.data();
    params.time = time;
    params.instance = instance_;
    return transformWithParams_(effectId_, pixels, width, height, &target, &region, colour,
                                blendMode, matrix, inverse, &params) != 0;
}

void EffectPlugin::Release() {
    module_.Unload();
    query_ = nullptr;
    enumerate_ = nullptr;
    transform_ = nullptr;
    describe_ = nullptr;
    transformWithParams_ = nullptr;
    effectId_ = 0;
    info_ = EffectInfo{};
    params_.clear();
    instance_ = 0;
}

bool LoadEffect(EffectPlugin& plugin, std::u16string_view fullPath) {
    EffectPath parts = SplitEffectPath(fullPath);
    std::optional<std::u16string_view> name;
    if (parts.name)
        name = *parts.name;
    return plugin.Load(parts.module, 0, name);
}

}  // namespace kelvane
