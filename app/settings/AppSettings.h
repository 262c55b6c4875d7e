#pragma once

#include <cstdint>

namespace kelvane {

class ProfileFile;

// The thirteen process-wide values of the INI section "Settings". Other threads only read them.
struct AppSettings {
    int32_t callbackTimeout = 5000;
    int32_t forceReferenceTime = 0;
    int32_t readEverySample = 0;
    int32_t abortTimeout = 3000;
    int32_t framePrev = 10;
    int32_t frameBack = 15;
    int32_t frameNext = -1;
    int32_t pixelQuality = 2;
    int32_t textImageMode = 3;
    int32_t reloadFailedFrame = 0;
    char16_t defaultEffectDll[260] = u"\\effect.so";
    int32_t instructionLevel = 1;
    int32_t drawFrameThread = 4;
};

// The process-wide instance.
AppSettings& Settings();

}  // namespace kelvane
