#include "media/EffectParams.h"

#include <algorithm>
#include <cmath>

#include "media/EffectPlugin.h"
#include "platform/Path.h"

namespace kelvane {

namespace {

int32_t NumberCount(uint32_t type) {
    switch (type) {
        case KELVANE_PARAM_NUMBER:
        case KELVANE_PARAM_ON_OFF:
            return 1;
        case KELVANE_PARAM_COLOUR:
            return 3;
        case KELVANE_PARAM_POSITION:
            return 2;
        default:
            return 0;
    }
}

EffectParamValue DefaultValue(const EffectParamInfo& info, uint32_t index) {
    EffectParamValue value;
    value.index = index;
    value.type = info.type;
    if (info.type == KELVANE_PARAM_TEXT) {
        value.text = ToUtf8(EffectText(info.defaultText));
    } else {
        for (int32_t k = 0; k < NumberCount(info.type); ++k)
            value.numbers[size_t(k)] = info.defaults[k];
    }
    return value;
}

// A stored value made fit for the parameter; false when it cannot stand for it.
bool Fit(const EffectParamInfo& info, EffectParamValue& value) {
    const int32_t n = NumberCount(info.type);
    for (int32_t k = 0; k < n; ++k) {
        if (!std::isfinite(value.numbers[size_t(k)]))
            return false;
    }
    for (int32_t k = n; k < 3; ++k)
        value.numbers[size_t(k)] = 0;
    if (info.type == KELVANE_PARAM_NUMBER && info.minimum <= info.maximum)
        value.numbers[0] = std::clamp(value.numbers[0], info.minimum, info.maximum);
    if (info.type == KELVANE_PARAM_ON_OFF)
        value.numbers[0] = value.numbers[0] >= 0.5 ? 1 : 0;
    if (info.type != KELVANE_PARAM_TEXT)
        value.text.clear();
    return true;
}

}  // namespace

EffectParamList EffectParamDefaults(const std::vector<EffectParamInfo>& infos) {
    EffectParamList values;
    values.reserve(infos.size());
    for (size_t i = 0; i < infos.size(); ++i)
        values.push_back(DefaultValue(infos[i], uint32_t(i)));
    return values;
}

EffectParamList ResolveEffectParams(const std::vector<EffectParamInfo>& infos,
                                    const EffectParamList* stored) {
    EffectParamList values = EffectParamDefaults(infos);
    if (stored == nullptr)
        return values;
    for (const EffectParamValue& value : *stored) {
        if (value.index >= values.size() || value.type != infos[value.index].type)
            continue;
        EffectParamValue fitted = value;
        if (Fit(infos[value.index], fitted))
            values[value.index] = std::move(fitted);
    }
    return values;
}

EffectParamList InterpolateEffectParams(const EffectParamList& from, const EffectParamList& to,
                                        int32_t t, int32_t n) {
    EffectParamList values = from;
    if (n == 0 || from.size() != to.size())
        return values;
    const double fraction = double(t) / double(n);
    for (size_t i = 0; i < values.size(); ++i) {
        EffectParamValue& v = values[i];
        const EffectParamValue& b = to[i];
        if (v.type != b.type || v.type == KELVANE_PARAM_ON_OFF || v.type == KELVANE_PARAM_TEXT)
            continue;
        for (int32_t k = 0; k < NumberCount(v.type); ++k) {
            double a = v.numbers[size_t(k)];
            v.numbers[size_t(k)] = a + (b.numbers[size_t(k)] - a) * fraction;
        }
    }
    return values;
}

bool DiffersFromDefault(const EffectParamInfo& info, const EffectParamValue& value) {
    return !(DefaultValue(info, value.index) == value);
}

EffectParamEdits CommonEffectParams(const std::vector<EffectParamInfo>& infos,
                                    const std::vector<const EffectParamList*>& stored) {
    EffectParamEdits common(infos.size());
    for (size_t k = 0; k < stored.size(); ++k) {
        const EffectParamList values = ResolveEffectParams(infos, stored[k]);
        for (size_t i = 0; i < infos.size(); ++i) {
            if (k == 0)
                common[i] = values[i];
            else if (common[i] && !(*common[i] == values[i]))
                common[i].reset();
        }
    }
    return common;
}

std::shared_ptr<const EffectParamList> ApplyEffectParamEdits(
    const std::vector<EffectParamInfo>& infos, const EffectParamList* stored,
    const EffectParamEdits& edits) {
    EffectParamList values = ResolveEffectParams(infos, stored);
    for (size_t i = 0; i < values.size() && i < edits.size(); ++i) {
        if (edits[i] && edits[i]->type == infos[i].type) {
            EffectParamValue edited = *edits[i];
            edited.index = uint32_t(i);
            EffectParamList one{edited};
            values[i] = ResolveEffectParams(infos, &one)[i];
        }
    }
    auto kept = std::make_shared<EffectParamList>();
    for (size_t i = 0; i < values.size(); ++i) {
        if (DiffersFromDefault(infos[i], values[i]))
            kept->push_back(values[i]);
    }
    if (kept->empty())
        return nullptr;
    return kept;
}

}  // namespace kelvane
