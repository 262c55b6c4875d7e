#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "model/Project.h"
#include "model/TrackEvent.h"
#include "render/PixelImage.h"
#include "support/BmpFiles.h"
#include "support/EventBuilders.h"

namespace kelvane::testing {

// A project with the defaults, then the given output size and background (0x00BBGGRR), 25 frames
// per second (a frame of 400,000 units), `length` frames and the standard draw method.
std::unique_ptr<Project> NewProject(uint32_t width, uint32_t height, uint32_t background = 0,
                                    uint32_t length = 100);

// Adds the event to the track in start order and tells the tracks the project's default method.
void AddEvent(Project& project, uint32_t track, const TrackEvent& event);

// Output pixel (x, y), y counted from the top.
uint32_t At(const PixelImage& image, int x, int y);

// The shipped effect module; empty when this build has none.
std::string ShippedEffectModule();

// An effect module compiled for the tests: one effect that fills its region's footprint (the
// whole target when the region is empty) with opaque colour and returns what `SetResult` asked
// for; it counts its calls. Empty when no C compiler is at hand. The controls act on the module
// as loaded in this process.
class TestEffect {
  public:
    static const std::string& Path();
    static void SetResult(int32_t result);
    static int32_t Calls();
    static void ResetCalls();
};

}  // namespace kelvane::testing
