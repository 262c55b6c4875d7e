#include "app/ProcessState.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/PictureModules.h"
#include "platform/Path.h"
#include "support/ScratchFolder.h"
#include "support/ScriptedPrompt.h"

namespace kelvane {
namespace {

using testing::ScriptedPrompt;

// Records what the process asks of the worker pool.
struct FakePool {
    std::vector<std::string> calls;
    bool startSucceeds = true;

    ProcessHooks Hooks() {
        return ProcessHooks{
            [this] { calls.push_back("tables"); },
            [this](int count) {
                calls.push_back("start " + std::to_string(count));
                return startSucceeds;
            },
            [this] { calls.push_back("stop"); },
        };
    }
};

class ProcessStateTest : public ::testing::Test {
  protected:
    ProcessOptions Options(bool vectorTier = true) {
        ProcessOptions options;
        options.executableFolder = dir.Path();
        options.iniBaseName = u"kelvane";
        options.vectorTier = vectorTier;
        options.hooks = pool.Hooks();
        return options;
    }

    testing::ScratchFolder dir;
    FakePool pool;
    AppSettings settings;
};

constexpr const char* kCustomIni =
    "[Recent File List]\n"
    "File1=/p/a.xqm\n"
    "\n"
    "[Settings]\n"
    "CallbackTimeout=7000\n"
    "ForceReferenceTime=1\n"
    "ReadEverySample=0\n"
    "AbortTimeout=-1\n"
    "FramePrev=5\n"
    "FrameBack=6\n"
    "FrameNext=7\n"
    "PixelQuality=3\n"
    "TextImageMode=1\n"
    "ReloadFailedFrame=0\n"
    "DefaultEffectDll=\\fx\\mine.so\n"
    "InstructionLevel=1\n"
    "DrawFrameThread=8\n";

TEST_F(ProcessStateTest, ExcessThreadCountRunsSixteenAndIsWrittenBack) {
    dir.Put("kelvane.INI", "[Settings]\nDrawFrameThread=40\n");
    ProcessState process(Options(), settings);
    process.Start();
    EXPECT_EQ(process.IniPath(), dir.PathOf("kelvane.INI"));
    EXPECT_EQ(pool.calls, (std::vector<std::string>{"tables", "start 16"}));
    ASSERT_TRUE(process.Shutdown());
    EXPECT_EQ(pool.calls.back(), "stop");
    EXPECT_EQ(ProfileFile(dir.PathOf("kelvane.INI")).ReadInt("Settings", "DrawFrameThread", 0), 16);
    EXPECT_TRUE(process.Shutdown());  // a second shut-down does nothing
    EXPECT_EQ(pool.calls.size(), 3u);
}

TEST_F(ProcessStateTest, FirstRunWritesEveryKeyAndNoVectorTierWritesLevel0) {
    ProcessState process(Options(false), settings);
    process.Start();
    EXPECT_EQ(settings.instructionLevel, 0);
    ASSERT_TRUE(process.Shutdown());
    EXPECT_EQ(dir.Get("kelvane.INI"),
              "[Settings]\nCallbackTimeout=5000\nForceReferenceTime=0\nReadEverySample=0\n"
              "AbortTimeout=3000\nFramePrev=10\nFrameBack=15\nFrameNext=-1\nPixelQuality=2\n"
              "TextImageMode=3\nReloadFailedFrame=0\nDefaultEffectDll=\\effect.so\n"
              "InstructionLevel=0\nDrawFrameThread=4\n");
}

TEST_F(ProcessStateTest, StabilityPresetThenShutdownChangesOnlyItsKeys) {
    dir.Put("kelvane.INI", kCustomIni);
    ProcessState process(Options(), settings);
    process.Start();
    ScriptedPrompt ok(true);
    ASSERT_TRUE(process.ApplyPreset(SettingsPreset::Stability, ok));
    EXPECT_EQ(ok.questions,
              std::vector<std::string>{"INIファイルの設定を変更します。続行しますか？"});
    EXPECT_EQ(ok.kinds, std::vector<ScriptedPrompt::Kind>{ScriptedPrompt::Kind::OkCancel});
    EXPECT_EQ(pool.calls, (std::vector<std::string>{"tables", "start 8", "stop", "start 0"}));
    ASSERT_TRUE(process.Shutdown());

    std::string expected = kCustomIni;
    auto replace = [&](const std::string& from, const std::string& to) {
        expected.replace(expected.find(from), from.size(), to);
    };
    replace("ReadEverySample=0", "ReadEverySample=1");
    replace("ReloadFailedFrame=0", "ReloadFailedFrame=1");
    replace("InstructionLevel=1", "InstructionLevel=0");
    replace("DrawFrameThread=8", "DrawFrameThread=0");
    EXPECT_EQ(dir.Get("kelvane.INI"), expected);
}

TEST_F(ProcessStateTest, CancelledPresetChangesNothing) {
    dir.Put("kelvane.INI", kCustomIni);
    ProcessState process(Options(), settings);
    process.Start();
    const AppSettings before = settings;
    ScriptedPrompt cancel(false);
    for (SettingsPreset preset :
         {SettingsPreset::Default, SettingsPreset::SpeedFirst, SettingsPreset::Stability}) {
        EXPECT_FALSE(process.ApplyPreset(preset, cancel));
    }
    EXPECT_EQ(cancel.questions.size(), 3u);
    EXPECT_EQ(std::memcmp(&before, &settings, sizeof settings), 0);
    EXPECT_EQ(pool.calls, (std::vector<std::string>{"tables", "start 8"}));
    EXPECT_EQ(dir.Get("kelvane.INI"), kCustomIni);  // nothing is written before shut-down
}

TEST_F(ProcessStateTest, PresetWhoseWorkersFailToStartSetsZeroThreads) {
    ProcessState process(Options(), settings);
    process.Start();
    pool.startSucceeds = false;
    ScriptedPrompt ok(true);
    ASSERT_TRUE(process.ApplyPreset(SettingsPreset::SpeedFirst, ok));
    EXPECT_EQ(pool.calls.back(), "start 16");
    EXPECT_EQ(settings.drawFrameThread, 0);
    // At start-up the same failure is silent and keeps the value.
    ProcessState again(Options(), settings);
    again.Start();
    EXPECT_EQ(settings.drawFrameThread, 4);
}

TEST_F(ProcessStateTest, ReadOnlySettingsAreNeverWritten) {
    dir.Put("kelvane.INI", "[Settings]\nDrawFrameThread=40\n");
    ProcessOptions options = Options();
    options.readOnlySettings = true;
    ProcessState process(options, settings);
    process.Start();
    EXPECT_EQ(settings.drawFrameThread, 16);
    EXPECT_TRUE(process.Shutdown());
    EXPECT_EQ(dir.Get("kelvane.INI"), "[Settings]\nDrawFrameThread=40\n");
}

TEST_F(ProcessStateTest, IniIsNamedAfterTheExecutableByDefault) {
    ProcessOptions options = Options();
    options.iniBaseName.clear();
    ProcessState process(options, settings);
    process.Start();
    EXPECT_EQ(process.IniPath(), dir.Path() + u"/app_tests.INI");
}

// Restores an environment variable at the end of a test.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        old_ = had_ ? old : "";
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (had_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    bool had_;
    std::string old_;
};

TEST_F(ProcessStateTest, UnwritableFolderKeepsTheIniInTheConfigFolder) {
    testing::ScratchFolder config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.Native());
    ProcessOptions options = Options();
    options.executableFolder = dir.Path() + u"/does-not-exist";  // never writable, even as root
    ProcessState process(options, settings);
    process.Start();
    EXPECT_EQ(process.IniPath(), config.Path() + u"/kelvane/kelvane.INI");
    ASSERT_TRUE(process.Shutdown());
    EXPECT_EQ(ProfileFile(process.IniPath()).ReadInt("Settings", "DrawFrameThread", 0), 4);

    ScopedEnv home("HOME", config.Native() + "/home");
    ScopedEnv relative("XDG_CONFIG_HOME", "relative/is/ignored");
    EXPECT_EQ(ProfilePathFor(options.executableFolder, u"kelvane"),
              config.Path() + u"/home/.config/kelvane/kelvane.INI");
}

TEST_F(ProcessStateTest, PictureModulesAreLoadedInNameOrderAndReleasedAtShutdown) {
    namespace fs = std::filesystem;
    fs::copy_file(KELVANE_TEST_MODULE, dir.Native() + "/b.spi");
    fs::copy_file(KELVANE_TEST_MODULE, dir.Native() + "/A.SPI");
    dir.Put("a.spi", "not a library");
    dir.Put("c.spi.txt", "");
    fs::create_directory(dir.Native() + "/d.spi");
    ProcessState process(Options(), settings);
    process.Start();
    const std::vector<DynamicModule>& modules = process.PictureModules();
    ASSERT_EQ(modules.size(), 3u);
    EXPECT_TRUE(modules[0].IsLoaded());   // A.SPI
    EXPECT_FALSE(modules[1].IsLoaded());  // a.spi keeps its place
    EXPECT_TRUE(modules[2].IsLoaded());   // b.spi
    EXPECT_NE(modules[2].Symbol("kelvane_test_answer"), nullptr);
    process.Shutdown();
    EXPECT_TRUE(process.PictureModules().empty());
}

TEST_F(ProcessStateTest, NoPluginFilesGiveAnEmptyList) {
    dir.Put("readme.txt", "");
    ProcessState process(Options(), settings);
    process.Start();
    EXPECT_TRUE(process.PictureModules().empty());
    EXPECT_TRUE(LoadPictureModules(dir.Path() + u"/missing").empty());
}

}  // namespace
}  // namespace kelvane
