#include "settings/AppSettings.h"

#include "platform/ProfileFile.h"

namespace kelvane {

namespace {

constexpr const char16_t* kDefaultEffectDll = u"\\effect.so";

// The timeouts are compared unsigned on purpose: -1 (wait for ever) must survive the minimum.
int32_t AtLeast100Unsigned(int32_t value) {
    return static_cast<uint32_t>(value) < 100u ? 100 : value;
}

int32_t InstructionLevelFor(bool hasVectorTier) {
    return hasVectorTier ? 1 : 0;
}

}  // namespace

AppSettings& Settings() {
    static AppSettings settings;
    return settings;
}

void ReadSettings(AppSettings& s, const ProfileFile& profile, bool hasVectorTier) {
    const char* section = kSettingsSection;
    s.callbackTimeout = AtLeast100Unsigned(profile.ReadInt(section, "CallbackTimeout", 5000));
    s.forceReferenceTime = profile.ReadInt(section, "ForceReferenceTime", 0);
    s.readEverySample = profile.ReadInt(section, "ReadEverySample", 0);
    s.abortTimeout = AtLeast100Unsigned(profile.ReadInt(section, "AbortTimeout", 3000));
    s.framePrev = profile.ReadInt(section, "FramePrev", 10);
    if (s.framePrev < 0) {
        s.framePrev = 10;
    }
    s.frameBack = profile.ReadInt(section, "FrameBack", 15);
    if (s.frameBack < 0) {
        s.frameBack = 15;
    }
    s.frameNext = profile.ReadInt(section, "FrameNext", -1);
    s.pixelQuality = profile.ReadInt(section, "PixelQuality", 2);
    s.textImageMode = profile.ReadInt(section, "TextImageMode", 3);
    s.reloadFailedFrame = profile.ReadInt(section, "ReloadFailedFrame", 0);
    profile.ReadString(section, "DefaultEffectDll", kDefaultEffectDll, s.defaultEffectDll);
    s.instructionLevel = profile.ReadInt(section, "InstructionLevel", 1);
    if (!hasVectorTier) {
        s.instructionLevel = 0;
    }
    s.drawFrameThread = profile.ReadInt(section, "DrawFrameThread", 4);
    if (static_cast<uint32_t>(s.drawFrameThread) > static_cast<uint32_t>(kMaxDrawThreads)) {
        s.drawFrameThread = kMaxDrawThreads;
    }
    s.movieCacheSize = profile.ReadInt(section, "MovieCacheSize", 512);
}

bool WriteSettings(const AppSettings& s, ProfileFile& profile) {
    const char* section = kSettingsSection;
    bool ok = true;
    ok &= profile.WriteInt(section, "CallbackTimeout", s.callbackTimeout);
    ok &= profile.WriteInt(section, "ForceReferenceTime", s.forceReferenceTime);
    ok &= profile.WriteInt(section, "ReadEverySample", s.readEverySample);
    ok &= profile.WriteInt(section, "AbortTimeout", s.abortTimeout);
    ok &= profile.WriteInt(section, "FramePrev", s.framePrev);
    ok &= profile.WriteInt(section, "FrameBack", s.frameBack);
    ok &= profile.WriteInt(section, "FrameNext", s.frameNext);
    ok &= profile.WriteInt(section, "PixelQuality", s.pixelQuality);
    ok &= profile.WriteInt(section, "TextImageMode", s.textImageMode);
    ok &= profile.WriteInt(section, "ReloadFailedFrame", s.reloadFailedFrame);
    ok &= profile.WriteString(section, "DefaultEffectDll", PathView(s.defaultEffectDll));
    ok &= profile.WriteInt(section, "InstructionLevel", s.instructionLevel);
    ok &= profile.WriteInt(section, "DrawFrameThread", s.drawFrameThread);
    return ok;
}

void ApplyPreset(AppSettings& s, SettingsPreset preset, bool hasVectorTier) {
    switch (preset) {
        case SettingsPreset::Default:
            s.callbackTimeout = 5000;
            s.forceReferenceTime = 0;
            s.readEverySample = 0;
            s.abortTimeout = 3000;
            s.framePrev = 10;
            s.frameBack = 15;
            s.frameNext = -1;
            s.pixelQuality = 2;
            s.textImageMode = 3;
            s.reloadFailedFrame = 0;
            CopyPath(s.defaultEffectDll, kDefaultEffectDll);
            s.instructionLevel = InstructionLevelFor(hasVectorTier);
            s.drawFrameThread = 4;
            break;
        case SettingsPreset::SpeedFirst:
            s.readEverySample = 0;
            s.reloadFailedFrame = 0;
            s.instructionLevel = InstructionLevelFor(hasVectorTier);
            s.drawFrameThread = kMaxDrawThreads;
            break;
        case SettingsPreset::Stability:
            s.readEverySample = 1;
            s.reloadFailedFrame = 1;
            s.instructionLevel = 0;
            s.drawFrameThread = 0;
            break;
    }
}

}  // namespace kelvane
