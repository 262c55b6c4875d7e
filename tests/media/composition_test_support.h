#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "model/Project.h"
#include "model/TrackEvent.h"
#include "render/PixelImage.h"

namespace kelvane::comptest {

// Writes an uncompressed 32-bit BMP; `pixel(x, y)` gives 0x00RRGGBB with y counted from the top.
void WriteBmp(const std::string& path, int width, int height,
              const std::function<uint32_t(int, int)>& pixel);
void WriteSolidBmp(const std::string& path, int width, int height, uint32_t rgb);

// A project with the defaults, then the given output size and background (0x00BBGGRR), 25 frames
// per second (a frame of 400,000 units), `length` frames and the standard draw method.
std::unique_ptr<Project> NewProject(uint32_t width, uint32_t height, uint32_t background = 0,
                                    uint32_t length = 100);

// An opaque event at `start` that shows the whole w x h region of file `fileId` with its top left
// corner at output pixel (x, y), at scale 1; the source runs at one source frame of 400,000 units
// per output frame from `position`.
TrackEvent PlacedEvent(int32_t fileId, uint32_t start, int32_t w, int32_t h, float x = 0,
                       float y = 0, RefTime position = 0);
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

}  // namespace kelvane::comptest
