#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "kelvane/kelvane_effect.h"
#include "model/EventExtras.h"

namespace kelvane {

using EffectParamInfo = ::EffectParamInfo;

// The values an effect is drawn with hold one value per described parameter, in the described
// order, each of the described type.

// The described defaults.
EffectParamList EffectParamDefaults(const std::vector<EffectParamInfo>& infos);

// The defaults, with every stored value whose index and type match a described parameter in
// place of its default; numbers are kept within the described range. Stored values that match
// nothing (a plug-in that changed) are ignored.
EffectParamList ResolveEffectParams(const std::vector<EffectParamInfo>& infos,
                                    const EffectParamList* stored);

// `t` of `n` frames of the way from `from` to `to` (both resolved for the same effect): numbers,
// colours and positions move straight; on/off and texts keep `from` until the next event.
EffectParamList InterpolateEffectParams(const EffectParamList& from, const EffectParamList& to,
                                        int32_t t, int32_t n);

// True when the parameter's stored value differs from its default, so that a list of only the
// changed values is enough to store.
bool DiffersFromDefault(const EffectParamInfo& info, const EffectParamValue& value);

// A change to the values of one or several events, one entry per parameter: a value to set, or
// nothing to keep each event's own.
using EffectParamEdits = std::vector<std::optional<EffectParamValue>>;

// What several events have in common: each parameter's resolved value where all of them agree,
// nothing where they differ.
EffectParamEdits CommonEffectParams(const std::vector<EffectParamInfo>& infos,
                                    const std::vector<const EffectParamList*>& stored);

// The list an event stores after `edits`: its own values where an edit keeps them, the edits
// elsewhere, and only the values that differ from their defaults; null when none does.
std::shared_ptr<const EffectParamList> ApplyEffectParamEdits(
    const std::vector<EffectParamInfo>& infos, const EffectParamList* stored,
    const EffectParamEdits& edits);

}  // namespace kelvane
