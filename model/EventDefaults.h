#pragma once

#include <cstdint>

#include "model/TrackEvent.h"

namespace kelvane {

class Project;

// The event made when a file is dropped on a track (at `start`) or on a template slot (start 0):
// Used and Parametric, normal speed for movies and nested projects, the whole source as region
// (the output size for an effect, otherwise the loaded image's size, 0 x 0 without one), opaque
// white, scale 1.
TrackEvent NewEventDefaults(const Project& project, int32_t fileId, uint32_t start,
                            int32_t imageWidth, int32_t imageHeight);

}  // namespace kelvane
