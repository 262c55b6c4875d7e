#pragma once

#include <cstdint>
#include <memory>

#include "model/Project.h"

namespace kelvane::bench {

// The large project the file and history benchmarks share: 1000 picture entries (descriptors
// only, nothing loaded) and 256 tracks of `eventsPerTrack` events each (10,000 make the 389 MB
// project of the edit benchmarks).
std::unique_ptr<Project> LargeProject(uint32_t eventsPerTrack = 1000);

}  // namespace kelvane::bench
