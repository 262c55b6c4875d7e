#pragma once

namespace kelvane::testing {

// While an instance lives, every non-throwing allocation fails: the model's event arrays and its
// projects (an undo snapshot shares the event arrays, so the project is what it allocates).
class ScopedAllocationFailure {
  public:
    ScopedAllocationFailure();
    ~ScopedAllocationFailure();
    ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
    ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;
};

}  // namespace kelvane::testing
