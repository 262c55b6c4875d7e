// The exports of the default effect module. An effect's id is its index in the table below, so
// both ways of selecting an effect (by index, by name) reach the same drawing.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "Effects.h"
#include "kelvane/kelvane_effect.h"

namespace {

enum class Kind { Fill, GradientAcross, GradientDown, Mosaic, Blur, Invert, Fade };

struct Entry {
    Kind kind;
    int32_t size;  // block size of a mosaic, radius of a blur
    const char16_t* name;
    const char16_t* text;
    const char16_t* description;
};

constexpr uint32_t kVersion = 0x20000;

const Entry kEffects[] = {
    {Kind::Fill, 0, u"塗りつぶし", u"領域を色で塗りつぶします。",
     u"イベントの領域を「不透明度と色」の色で塗りつぶします。不透明度と合成方法が効きます。"
     u"領域はイベントの配置（拡大率・回転・位置、または行列）に従って置かれます。"},
    {Kind::GradientAcross, 0, u"グラデーション（左から右）", u"色が左端から右端へ薄くなります。",
     u"領域の左端では「不透明度と色」の色と不透明度のまま、右端に向かって一様に透明になります。"
     u"回転を使うと向きを変えられます。合成方法が効きます。"},
    {Kind::GradientDown, 0, u"グラデーション（上から下）", u"色が上端から下端へ薄くなります。",
     u"領域の上端では「不透明度と色」の色と不透明度のまま、下端に向かって一様に透明になります。"
     u"合成方法が効きます。"},
    {Kind::Mosaic, 8, u"モザイク（小）", u"領域を8ピクセル四方のモザイクにします。",
     u"それまでに描かれた画面のうち領域の部分を、8ピクセル四方の区画ごとに平均の色で塗ります。"
     u"色（白以外）は乗算で掛かり、不透明度と合成方法が効きます。"},
    {Kind::Mosaic, 16, u"モザイク（中）", u"領域を16ピクセル四方のモザイクにします。",
     u"それまでに描かれた画面のうち領域の部分を、16ピクセル四方の区画ごとに平均の色で塗ります。"
     u"色（白以外）は乗算で掛かり、不透明度と合成方法が効きます。"},
    {Kind::Mosaic, 32, u"モザイク（大）", u"領域を32ピクセル四方のモザイクにします。",
     u"それまでに描かれた画面のうち領域の部分を、32ピクセル四方の区画ごとに平均の色で塗ります。"
     u"色（白以外）は乗算で掛かり、不透明度と合成方法が効きます。"},
    {Kind::Blur, 2, u"ぼかし（弱）", u"領域を半径2ピクセルでぼかします。",
     u"それまでに描かれた画面のうち領域の部分を、周囲5×5ピクセルの平均でぼかします。"
     u"色（白以外）は乗算で掛かり、不透明度と合成方法が効きます。"},
    {Kind::Blur, 6, u"ぼかし（強）", u"領域を半径6ピクセルでぼかします。",
     u"それまでに描かれた画面のうち領域の部分を、周囲13×13ピクセルの平均でぼかします。"
     u"色（白以外）は乗算で掛かり、不透明度と合成方法が効きます。"},
    {Kind::Invert, 0, u"色の反転", u"領域の色を反転します。",
     u"それまでに描かれた画面のうち領域の部分の色を反転します（ネガ）。"
     u"色（白以外）は乗算で掛かり、不透明度と合成方法が効きます。"},
    {Kind::Fade, 0, u"色へのフェード", u"領域を色へ徐々に近づけます。",
     u"不透明度の分だけ領域を「不透明度と色」の色へ近づけます。次のイベントとの間を補間して"
     u"不透明度を変えると、始まりと終わりがなめらかなフェードになります。合成方法が効きます。"},
};

constexpr int32_t kEffectCount = int32_t(std::size(kEffects));

template <size_t N>
void CopyText(KelvaneChar16 (&field)[N], const char16_t* text) {
    size_t n = 0;
    while (n + 1 < N && text[n] != 0) {
        field[n] = text[n];
        ++n;
    }
    while (n < N)
        field[n++] = 0;
}

void Describe(int32_t index, EffectInfo* info) {
    std::memset(info, 0, sizeof(*info));
    const Entry& entry = kEffects[index];
    info->id = index;
    info->version = kVersion;
    CopyText(info->name, entry.name);
    CopyText(info->text, entry.text);
    CopyText(info->description, entry.description);
}

// What a mosaic or blur can be told beside its size, and a gradient beside its direction. Each
// effect's parameters start from the values its name promises.
struct Param {
    const char16_t* name;
    const char16_t* explanation;
    uint32_t decimals;
    double minimum, maximum;
};

const Param kBlockSize = {u"区画の大きさ", u"モザイクの区画の一辺（領域のピクセル数）です。", 0, 2,
                          256};
const Param kRadius = {
    u"半径", u"ぼかしの半径（ピクセル）です。周囲 (2×半径+1) 四方の平均になります。", 0, 1, 64};
const Param kDirection = {
    u"向き", u"色が薄くなっていく向き（度）です。0 で左から右、90 で上から下。", 0, 0, 360};
const Param kSoftness = {
    u"柔らかさ", u"色が薄くなる幅の領域に対する割合です。1 で領域全体、0 で境目がくっきりします。",
    2, 0, 1};

int32_t ParamCount(Kind kind) {
    switch (kind) {
        case Kind::Mosaic:
        case Kind::Blur:
            return 1;
        case Kind::GradientAcross:
        case Kind::GradientDown:
            return 2;
        default:
            return 0;
    }
}

void DescribeParam(const Param& param, double value, EffectParamInfo* info) {
    std::memset(info, 0, sizeof(*info));
    info->type = KELVANE_PARAM_NUMBER;
    info->decimals = param.decimals;
    info->minimum = param.minimum;
    info->maximum = param.maximum;
    info->defaults[0] = value;
    CopyText(info->name, param.name);
    CopyText(info->explanation, param.explanation);
}

void DescribeParams(const Entry& entry, EffectParamInfo* infos) {
    switch (entry.kind) {
        case Kind::Mosaic:
            DescribeParam(kBlockSize, entry.size, &infos[0]);
            break;
        case Kind::Blur:
            DescribeParam(kRadius, entry.size, &infos[0]);
            break;
        case Kind::GradientAcross:
        case Kind::GradientDown:
            DescribeParam(kDirection, entry.kind == Kind::GradientDown ? 90 : 0, &infos[0]);
            DescribeParam(kSoftness, 1, &infos[1]);
            break;
        default:
            break;
    }
}

// The value of number parameter `index`: the block's when it has a number there, else the default.
double Number(const EffectParamBlock* params, uint32_t index, const Param& param, double fallback) {
    if (!params || index >= params->count || !params->values)
        return fallback;
    const EffectValue& value = params->values[index];
    if (value.type != KELVANE_PARAM_NUMBER || !std::isfinite(value.numbers[0]))
        return fallback;
    return std::clamp(value.numbers[0], param.minimum, param.maximum);
}

int32_t Draw(int32_t id, uint32_t* pixels, int32_t width, int32_t height, const EffectRect* target,
             const EffectRect* region, uint32_t colour, int32_t blendMode, const float* matrix,
             const float* inverse, const EffectParamBlock* params) {
    if (id < 0 || id >= kEffectCount)
        return 0;
    effect::Canvas canvas;
    if (!canvas.Prepare(pixels, width, height, target, region, colour, matrix, inverse))
        return 0;
    // An unknown blend mode draws nothing, as it does for a picture event.
    if (!effect::ValidBlendMode(blendMode) || canvas.Empty())
        return 1;
    const Entry& entry = kEffects[id];
    switch (entry.kind) {
        case Kind::Fill:
            effect::Fill(canvas, blendMode);
            return 1;
        case Kind::GradientAcross:
        case Kind::GradientDown: {
            double direction =
                Number(params, 0, kDirection, entry.kind == Kind::GradientDown ? 90 : 0);
            double softness = Number(params, 1, kSoftness, 1);
            effect::Gradient(canvas, blendMode, direction, softness);
            return 1;
        }
        case Kind::Mosaic: {
            auto block = int32_t(std::lround(Number(params, 0, kBlockSize, entry.size)));
            return effect::Mosaic(canvas, blendMode, block) ? 1 : 0;
        }
        case Kind::Blur: {
            auto radius = int32_t(std::lround(Number(params, 0, kRadius, entry.size)));
            return effect::BoxBlur(canvas, blendMode, radius) ? 1 : 0;
        }
        case Kind::Invert:
            effect::Invert(canvas, blendMode);
            return 1;
        case Kind::Fade:
            effect::FadeToColour(canvas, blendMode);
            return 1;
    }
    return 0;
}

}  // namespace

extern "C" {

KELVANE_EFFECT_EXPORT int32_t EnumEffect(EffectInfo* infos) {
    if (infos) {
        for (int32_t i = 0; i < kEffectCount; ++i)
            Describe(i, &infos[i]);
    }
    return kEffectCount;
}

KELVANE_EFFECT_EXPORT int32_t QueryEffect(int32_t index, EffectInfo* info) {
    if (index < 0 || index >= kEffectCount || !info)
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
    if (id < 0 || id >= kEffectCount)
        return -1;
    if (infos)
        DescribeParams(kEffects[id], infos);
    return ParamCount(kEffects[id].kind);
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
