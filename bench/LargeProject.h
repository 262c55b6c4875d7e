#pragma once

#include <memory>

#include "model/Project.h"

namespace kelvane::bench {

// The large project the file and history benchmarks share: 1000 picture entries (descriptors
// only, nothing loaded) and 256 tracks of 1000 events each.
std::unique_ptr<Project> LargeProject();

}  // namespace kelvane::bench
