#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/Project.h"

namespace kelvane::testing {

// The sound of a project computed the slow, obvious way, one sample at a time in doubles: for
// each output sample, each track's event in force at that sample's frame, its source time from
// the picture's rule, the source read with linear interpolation, the volumes, and a 5 ms ramp at
// every start and stop inside the output where the sound does not run on from one event into the
// next. Reads sources through MediaSource.
std::array<double, 2> ReferenceSample(const Project& project, int64_t s);
std::vector<float> ReferenceMix(const Project& project, int64_t s0, int64_t s1);

}  // namespace kelvane::testing
