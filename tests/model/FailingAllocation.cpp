#include "FailingAllocation.h"

#include <atomic>
#include <cstddef>
#include <new>

namespace {
std::atomic<bool> g_failArrays{false};
}

// Replaces the global non-throwing array allocation for the whole test program; otherwise it does
// what the library's own does: forward to the throwing form and turn its failure into null.
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (g_failArrays.load()) {
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_failArrays.load()) {
        return nullptr;
    }
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

namespace kelvane::testing {

ScopedAllocationFailure::ScopedAllocationFailure() {
    g_failArrays.store(true);
}
ScopedAllocationFailure::~ScopedAllocationFailure() {
    g_failArrays.store(false);
}

}  // namespace kelvane::testing
