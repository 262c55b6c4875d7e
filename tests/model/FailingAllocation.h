#pragma once

namespace kelvane::testing {

// While an instance lives, every non-throwing array allocation (the model's event arrays) fails.
class ScopedAllocationFailure {
  public:
    ScopedAllocationFailure();
    ~ScopedAllocationFailure();
    ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
    ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;
};

}  // namespace kelvane::testing
