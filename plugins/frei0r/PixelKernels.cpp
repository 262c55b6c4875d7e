#include "PixelKernels.h"

namespace frei0r_bridge {

std::vector<const PixelKernels*> UsableKernels() {
    std::vector<const PixelKernels*> sets{&ScalarKernels()};
#if defined(KELVANE_FREI0R_X86)
    sets.push_back(&Sse2Kernels());  // part of every x86-64 processor
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        sets.push_back(&Avx2Kernels());
#endif
    return sets;
}

const PixelKernels& FastestKernels() {
    static const PixelKernels* const fastest = UsableKernels().back();
    return *fastest;
}

}  // namespace frei0r_bridge
