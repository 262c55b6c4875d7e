#pragma once
// Placeholder with the shared API until the model's own version is merged.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvane {
enum AudioFlags : uint32_t { kAudioMuted = 1 };
struct EffectParamValue {
    uint32_t index = 0;
    uint32_t type = 0;
    std::array<double, 3> numbers{};
    std::string text;
    bool operator==(const EffectParamValue&) const = default;
};
using EffectParamList = std::vector<EffectParamValue>;
struct EventExtras {
    float volume = 1.0f;
    uint32_t audioFlags = 0;
    std::shared_ptr<const EffectParamList> effectParams;
    bool IsDefault() const { return volume == 1.0f && audioFlags == 0 && !effectParams; }
};
}  // namespace kelvane
