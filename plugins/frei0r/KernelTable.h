#pragma once

#include <utility>

#include "PixelKernels.h"

namespace frei0r_bridge {
namespace {

// One instruction set's table of row kernels. `Tier` names its templates:
// `Tier::convert<RedFirst>` and `Tier::draw<Mode, Tinted, RedFirst>`. Tier lives in its file's
// unnamed namespace, so each table holds that file's code only.
template <class Tier, int Mode>
constexpr void FillMode(PixelKernels& k) {
    k.draw[Mode][0][0] = Tier::template draw<Mode, false, false>;
    k.draw[Mode][0][1] = Tier::template draw<Mode, false, true>;
    k.draw[Mode][1][0] = Tier::template draw<Mode, true, false>;
    k.draw[Mode][1][1] = Tier::template draw<Mode, true, true>;
}

template <class Tier, int... Modes>
constexpr PixelKernels KernelTable(const char* name, std::integer_sequence<int, Modes...>) {
    PixelKernels k{name, {Tier::template convert<false>, Tier::template convert<true>}, {}};
    (FillMode<Tier, Modes>(k), ...);
    return k;
}

template <class Tier>
constexpr PixelKernels KernelTable(const char* name) {
    return KernelTable<Tier>(name, std::make_integer_sequence<int, 7>{});
}

}  // namespace
}  // namespace frei0r_bridge
