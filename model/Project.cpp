#include "model/Project.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace kelvane {
namespace {

// Truncation toward zero that saturates instead of leaving the range (and maps NaN to 0), so
// that a rescale of extreme values keeps every track sorted.
template <typename T>
T TruncateSaturating(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value <= double(std::numeric_limits<T>::min())) {
        return std::numeric_limits<T>::min();
    }
    if (value >= double(std::numeric_limits<T>::max())) {
        return std::numeric_limits<T>::max();
    }
    return T(value);
}

uint32_t RescaleFrame(uint32_t frame, double oldRate, double newRate) {
    return TruncateSaturating<uint32_t>(double(frame) / oldRate * newRate);
}

RefTime RescaleStep(RefTime step, double oldRate, double newRate) {
    return TruncateSaturating<RefTime>(double(step) * oldRate * (1.0 / newRate));
}

}  // namespace

RefTime RoundedFrameDuration(double frameRate) {
    return TruncateSaturating<RefTime>(double(kRefTimePerSecond) / frameRate + 0.5);
}

RefTime TruncatedFrameDuration(double frameRate) {
    return TruncateSaturating<RefTime>(double(kRefTimePerSecond) / frameRate);
}

std::unique_ptr<Project> Project::Create() {
    return std::unique_ptr<Project>(new (std::nothrow) Project());
}

void Project::ApplyDefaults() {
    std::memset(settings.basePath, 0, sizeof(settings.basePath));
    settings.frameRate = 30.0;
    settings.width = 320;
    settings.height = 240;
    settings.frameDuration = 333333;
    settings.background = 0;
    settings.defaultDrawMethod = 0;
    settings.length = 1;
    CopyDefaultMethodToTracks();
}

bool Project::ApplySettings(bool rescale, uint32_t width, uint32_t height, uint32_t length,
                            uint32_t background, int32_t defaultDrawMethod, double frameRate,
                            const PathBuffer& basePath) {
    if (rescale) {
        for (Track& track : tracks) {
            if (!track.Unshare()) {
                return false;
            }
        }
    }
    std::memcpy(settings.basePath, basePath, sizeof(settings.basePath));
    settings.basePath[kPathUnits - 1] = 0;
    settings.width = width;
    settings.height = height;
    if (rescale) {
        const double oldRate = settings.frameRate;
        for (Track& track : tracks) {
            // The mapping of starts never reverses their order, so the tracks stay sorted.
            for (TrackEvent& event : track.EventSpan()) {
                event.start = RescaleFrame(event.start, oldRate, frameRate);
                event.step = RescaleStep(event.step, oldRate, frameRate);
            }
        }
        for (EventTemplate& slot : templates) {
            slot.step = RescaleStep(slot.step, oldRate, frameRate);
        }
        length = RescaleFrame(length, oldRate, frameRate);
    }
    settings.frameRate = frameRate;
    settings.frameDuration = RoundedFrameDuration(frameRate);
    settings.background = background;
    settings.defaultDrawMethod = defaultDrawMethod;
    settings.length = length;
    CopyDefaultMethodToTracks();
    return true;
}

void Project::CopyDefaultMethodToTracks() {
    for (Track& track : tracks) {
        track.EvalState().defaultMethod = settings.defaultDrawMethod;
    }
}

}  // namespace kelvane
