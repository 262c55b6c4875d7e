#pragma once

#include <cstdint>

#include "platform/Path.h"

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
    char16_t defaultEffectDll[kPathUnits] = u"\\effect.so";
    int32_t instructionLevel = 1;
    int32_t drawFrameThread = 4;
    // Megabytes of decoded movie pictures kept around the last request, shared by every movie of
    // the process ("MovieCacheSize"; 0 keeps none). Read, not written back: the file only carries
    // it when the user sets it. 512 holds about 160 decoded 1080p pictures (40 at 2160p): enough to
    // step back halfway to the key frame in a movie with a key frame every ten seconds, and little
    // beside a desktop's memory.
    int32_t movieCacheSize = 512;
};

// The process-wide instance.
AppSettings& Settings();

// The INI section that holds the settings.
inline constexpr const char* kSettingsSection = "Settings";
inline constexpr int32_t kMaxDrawThreads = 16;

// Reads every value in the order of the INI file's documented keys, each with its default, and
// applies the adjustments. `hasVectorTier` is the processor's capability (HasVectorTier()); without
// it "InstructionLevel" is 0 whatever the file says.
void ReadSettings(AppSettings& settings, const ProfileFile& profile, bool hasVectorTier);
// Writes all thirteen values as held; false when any of them could not be written.
bool WriteSettings(const AppSettings& settings, ProfileFile& profile);

// The three presets of the "設定" menu. Each sets only the values of its own table.
enum class SettingsPreset {
    Default,     // "既定の設定"
    SpeedFirst,  // "処理速度優先"
    Stability,   // "安定性優先"
};
void ApplyPreset(AppSettings& settings, SettingsPreset preset, bool hasVectorTier);

}  // namespace kelvane
