#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kelvane/kelvane_effect.h"
#include "model/EventExtras.h"
#include "platform/DynamicModule.h"

namespace kelvane {

using EffectInfo = ::EffectInfo;
using EffectRect = ::EffectRect;

// Effect records of a version above this are refused.
constexpr uint32_t kEffectVersionMax = KELVANE_EFFECT_VERSION_MAX;

// The text of a fixed UTF-16 field of an EffectInfo, up to its terminator or the field's end.
template <size_t N>
std::u16string_view EffectText(const KelvaneChar16 (&field)[N]) {
    size_t n = 0;
    while (n < N && field[n] != 0)
        ++n;
    return std::u16string_view(field, n);
}

// An effect path "module>name": the module path and, after the first ">", the effect's name.
struct EffectPath {
    std::u16string module;
    std::optional<std::u16string> name;  // absent without ">"; empty for a path ending in ">"
};
EffectPath SplitEffectPath(std::u16string_view path);

// One effect of a loaded effect module: the module, its three entry points and the selected
// effect. Owned by an effect media source; unloading clears everything.
class EffectPlugin {
  public:
    EffectPlugin() = default;
    EffectPlugin(const EffectPlugin&) = delete;
    EffectPlugin& operator=(const EffectPlugin&) = delete;
    EffectPlugin(EffectPlugin&&) noexcept = default;
    EffectPlugin& operator=(EffectPlugin&&) noexcept = default;

    // Loads the module (a full path) and finds its three exports; no effect is selected. On
    // failure nothing is held.
    bool LoadModule(std::u16string_view modulePath);
    // LoadModule, then selects the effect named `name` (exact, case-sensitive) through
    // EnumEffect, or without a name the effect at `index` through QueryEffect, and checks its
    // version. Every failure unloads the module.
    bool Load(std::u16string_view modulePath, int32_t index,
              std::optional<std::u16string_view> name);
    void Release();

    bool IsLoaded() const { return module_.IsLoaded(); }
    int32_t EffectId() const { return effectId_; }
    const EffectInfo& Info() const { return info_; }

    // All records of the loaded module, in the module's order. False when the two counts
    // differ or the records cannot be allocated.
    bool Enumerate(std::vector<EffectInfo>& records) const;

    // The selected effect's parameters; empty for a module that describes none.
    const std::vector<::EffectParamInfo>& Params() const { return params_; }
    // True when the module draws with parameter values.
    bool TakesParams() const { return transformWithParams_ != nullptr; }

    // Draws an effect event into a 32-bit bottom-up frame; false when no module is loaded or the
    // module reports failure. `values` (as stored with the event; null: the defaults) and the
    // output frame's time in seconds reach modules that take parameters.
    bool Transform(uint32_t* pixels, int32_t width, int32_t height, const EffectRect& target,
                   const EffectRect& region, uint32_t colour, int32_t blendMode,
                   const float* matrix, const float* inverse,
                   const EffectParamList* values = nullptr, double time = 0) const;

  private:
    bool SelectByName(std::u16string_view name);
    bool SelectByIndex(int32_t index);
    bool ReadParams();

    DynamicModule module_;
    QueryEffectProc query_ = nullptr;
    EnumEffectProc enumerate_ = nullptr;
    TransformEffectProc transform_ = nullptr;
    DescribeEffectParamsProc describe_ = nullptr;
    TransformEffectWithParamsProc transformWithParams_ = nullptr;
    int32_t effectId_ = 0;
    EffectInfo info_{};
    std::vector<::EffectParamInfo> params_;
    // Tells the module which entry draws: each load gets a number of its own.
    uint64_t instance_ = 0;
};

// Loads an effect entry's full path: cuts it at the first ">" and loads the named effect, or
// effect index 0 when there is no ">".
bool LoadEffect(EffectPlugin& plugin, std::u16string_view fullPath);

}  // namespace kelvane
