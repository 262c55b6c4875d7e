#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvane {

enum AudioFlags : uint32_t {
    kAudioMuted = 1,
};

// One effect parameter's value as an event stores it. `type` is the parameter's type code of the
// effect plug-in interface (number, on/off, colour, position, text): numbers and on/off use
// numbers[0], colours numbers[0..2] (red, green, blue), positions numbers[0..1] (x, y), texts
// `text` (UTF-8).
struct EffectParamValue {
    uint32_t index = 0;
    uint32_t type = 0;
    std::array<double, 3> numbers{};
    std::string text;
    bool operator==(const EffectParamValue&) const = default;
};
using EffectParamList = std::vector<EffectParamValue>;

// What an event carries beyond its fixed 152-byte record: the values of features that the record
// has no room for. They live beside the record wherever it goes (tracks, template slots, the
// clipboard, undo snapshots, the crash journal); each feature stores its own in the project file.
// An event with the defaults costs nothing: a track whose events all have them keeps no array.
struct EventExtras {
    float volume = 1.0f;  // 1.0 = 100 %
    uint32_t audioFlags = 0;
    // Shared between copies and never changed in place; null: the effect's defaults.
    std::shared_ptr<const EffectParamList> effectParams;

    bool IsDefault() const { return volume == 1.0f && audioFlags == 0 && !effectParams; }
    // Parameters compare by value.
    bool operator==(const EventExtras& other) const {
        const bool sameParams =
            effectParams == other.effectParams ||
            (effectParams && other.effectParams && *effectParams == *other.effectParams);
        return volume == other.volume && audioFlags == other.audioFlags && sameParams;
    }
};

const EventExtras& DefaultExtras();

}  // namespace kelvane
