#include "settings/AppSettings.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/ProfileFile.h"
#include "support/ScratchFolder.h"

namespace kelvane {
namespace {

AppSettings ReadFrom(const std::string& ini, bool vectorTier = true) {
    testing::ScratchFolder dir;
    dir.Put("k.INI", ini);
    ProfileFile profile(dir.PathOf("k.INI"));
    AppSettings settings;
    std::memset(static_cast<void*>(&settings), 0x55,
                sizeof settings);  // nothing may survive from before
    ReadSettings(settings, profile, vectorTier);
    return settings;
}

TEST(AppSettings, MissingKeysTakeTheirDefaults) {
    AppSettings s = ReadFrom("[Other]\nCallbackTimeout=1\n");
    EXPECT_EQ(s.callbackTimeout, 5000);
    EXPECT_EQ(s.forceReferenceTime, 0);
    EXPECT_EQ(s.readEverySample, 0);
    EXPECT_EQ(s.abortTimeout, 3000);
    EXPECT_EQ(s.framePrev, 10);
    EXPECT_EQ(s.frameBack, 15);
    EXPECT_EQ(s.frameNext, -1);
    EXPECT_EQ(s.pixelQuality, 2);
    EXPECT_EQ(s.textImageMode, 3);
    EXPECT_EQ(s.reloadFailedFrame, 0);
    EXPECT_EQ(PathView(s.defaultEffectDll), u"\\effect.so");
    EXPECT_EQ(s.instructionLevel, 1);
    EXPECT_EQ(s.drawFrameThread, 4);
}

TEST(AppSettings, TimeoutsHaveAnUnsignedMinimumOf100) {
    AppSettings s = ReadFrom("[Settings]\nCallbackTimeout=50\nAbortTimeout=-1\n");
    EXPECT_EQ(s.callbackTimeout, 100);
    EXPECT_EQ(s.abortTimeout, -1);
    s = ReadFrom("[Settings]\nCallbackTimeout=-1\nAbortTimeout=99\n");
    EXPECT_EQ(s.callbackTimeout, -1);
    EXPECT_EQ(s.abortTimeout, 100);
    s = ReadFrom("[Settings]\nCallbackTimeout=100\nAbortTimeout=0\n");
    EXPECT_EQ(s.callbackTimeout, 100);
    EXPECT_EQ(s.abortTimeout, 100);
}

TEST(AppSettings, NegativeFrameCountsTakeTheirDefaults) {
    AppSettings s = ReadFrom("[Settings]\nFramePrev=-3\nFrameBack=-1\nFrameNext=-7\n");
    EXPECT_EQ(s.framePrev, 10);
    EXPECT_EQ(s.frameBack, 15);
    EXPECT_EQ(s.frameNext, -7);  // not adjusted
    s = ReadFrom("[Settings]\nFramePrev=0\nFrameBack=0\n");
    EXPECT_EQ(s.framePrev, 0);
    EXPECT_EQ(s.frameBack, 0);
}

TEST(AppSettings, DrawThreadsAreAtMost16ComparedUnsigned) {
    EXPECT_EQ(ReadFrom("[Settings]\nDrawFrameThread=40\n").drawFrameThread, 16);
    EXPECT_EQ(ReadFrom("[Settings]\nDrawFrameThread=-1\n").drawFrameThread, 16);
    EXPECT_EQ(ReadFrom("[Settings]\nDrawFrameThread=16\n").drawFrameThread, 16);
    EXPECT_EQ(ReadFrom("[Settings]\nDrawFrameThread=0\n").drawFrameThread, 0);
}

TEST(AppSettings, InstructionLevelNeedsTheVectorTier) {
    EXPECT_EQ(ReadFrom("[Settings]\nInstructionLevel=1\n", false).instructionLevel, 0);
    EXPECT_EQ(ReadFrom("", false).instructionLevel, 0);
    EXPECT_EQ(ReadFrom("[Settings]\nInstructionLevel=1\n", true).instructionLevel, 1);
    EXPECT_EQ(ReadFrom("[Settings]\nInstructionLevel=0\n", true).instructionLevel, 0);
}

TEST(AppSettings, WritesAllThirteenInOrderAndReadsThemBack) {
    testing::ScratchFolder dir;
    ProfileFile profile(dir.PathOf("k.INI"));
    AppSettings s;
    s.callbackTimeout = -1;
    s.frameNext = 25;
    CopyPath(s.defaultEffectDll, u"\\効果\\fx.so");
    ASSERT_TRUE(WriteSettings(s, profile));
    EXPECT_EQ(dir.Get("k.INI"),
              "[Settings]\nCallbackTimeout=-1\nForceReferenceTime=0\nReadEverySample=0\n"
              "AbortTimeout=3000\nFramePrev=10\nFrameBack=15\nFrameNext=25\nPixelQuality=2\n"
              "TextImageMode=3\nReloadFailedFrame=0\nDefaultEffectDll=\\効果\\fx.so\n"
              "InstructionLevel=1\nDrawFrameThread=4\n");
    AppSettings back;
    ReadSettings(back, profile, true);
    EXPECT_EQ(std::memcmp(&back, &s, sizeof s), 0);
}

TEST(AppSettings, PresetsSetOnlyTheirOwnValues) {
    AppSettings custom;
    custom.callbackTimeout = 7000;
    custom.framePrev = 3;
    custom.pixelQuality = 4;
    CopyPath(custom.defaultEffectDll, u"/opt/fx.so");
    custom.readEverySample = 1;
    custom.reloadFailedFrame = 1;
    custom.instructionLevel = 0;
    custom.drawFrameThread = 2;

    AppSettings speed = custom;
    ApplyPreset(speed, SettingsPreset::SpeedFirst, true);
    EXPECT_EQ(speed.readEverySample, 0);
    EXPECT_EQ(speed.reloadFailedFrame, 0);
    EXPECT_EQ(speed.instructionLevel, 1);
    EXPECT_EQ(speed.drawFrameThread, 16);
    EXPECT_EQ(speed.callbackTimeout, 7000);
    EXPECT_EQ(speed.framePrev, 3);
    EXPECT_EQ(speed.pixelQuality, 4);
    EXPECT_EQ(PathView(speed.defaultEffectDll), u"/opt/fx.so");
    ApplyPreset(speed, SettingsPreset::SpeedFirst, false);
    EXPECT_EQ(speed.instructionLevel, 0);

    AppSettings stable = custom;
    stable.instructionLevel = 1;
    stable.drawFrameThread = 8;
    ApplyPreset(stable, SettingsPreset::Stability, true);
    AppSettings expected = custom;
    expected.instructionLevel = 0;
    expected.drawFrameThread = 0;
    EXPECT_EQ(std::memcmp(&stable, &expected, sizeof expected), 0);

    AppSettings defaults = custom;
    ApplyPreset(defaults, SettingsPreset::Default, true);
    AppSettings fresh;
    EXPECT_EQ(std::memcmp(&defaults, &fresh, sizeof fresh), 0);
    ApplyPreset(defaults, SettingsPreset::Default, false);
    EXPECT_EQ(defaults.instructionLevel, 0);
}

}  // namespace
}  // namespace kelvane
