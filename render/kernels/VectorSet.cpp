#include "render/kernels/VectorSet.h"

#include <atomic>

namespace kelvane::kernels {

namespace {

VectorSet Detect() {
#if defined(__x86_64__)
    // The run-time library asks the processor and, for the 256-bit registers, whether the
    // operating system saves them.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) {
        return VectorSet::Avx2;
    }
#endif
    return VectorSet::Sse2;
}

std::atomic<VectorSet>& Active() {
    static std::atomic<VectorSet> active{BestVectorSet()};
    return active;
}

}  // namespace

VectorSet BestVectorSet() {
    static const VectorSet best = Detect();
    return best;
}

VectorSet ActiveVectorSet() {
    return Active().load(std::memory_order_relaxed);
}

bool SelectVectorSet(VectorSet set) {
    if (set == VectorSet::Avx2 && BestVectorSet() != VectorSet::Avx2) {
        return false;
    }
    Active().store(set, std::memory_order_relaxed);
    return true;
}

const char* VectorSetName(VectorSet set) {
    return set == VectorSet::Avx2 ? "avx2" : "sse2";
}

}  // namespace kelvane::kernels
