#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/DynamicModule.h"
#include "platform/ProfileFile.h"
#include "settings/AppSettings.h"

namespace kelvane {

class UserPrompt;

// What the render layer contributes to start-up and shut-down. An empty hook is skipped; an empty
// startWorkers counts as success.
struct ProcessHooks {
    std::function<void()> buildPixelTables;
    std::function<bool(int count)> startWorkers;  // false when the pool could not be started
    std::function<void()> stopWorkers;
};

struct ProcessOptions {
    // The INI file's name without ".INI"; empty: the executable's own name. The command-line tool
    // passes "kelvane" so that it shares the program's settings.
    std::u16string iniBaseName;
    // True: the settings are read but never written back.
    bool readOnlySettings = false;
    // Empty: the running executable's folder. Tests point it elsewhere.
    std::u16string executableFolder;
    // Unset: the processor is asked (HasVectorTier).
    std::optional<bool> vectorTier;
    // True: the picture plug-ins are loaded by the first PictureModules() after Start, not by
    // Start (the command-line tool: a project without pictures never maps them).
    bool pictureModulesOnDemand = false;
    ProcessHooks hooks;
};

// The confirmation asked before a preset replaces the settings.
inline constexpr const char* kPresetQuestion = "INIファイルの設定を変更します。続行しますか？";

// Where the INI file lives: "<folder>/<baseName>.INI" when `folder` is writable, otherwise
// "$XDG_CONFIG_HOME/kelvane/<baseName>.INI" (by default under ~/.config), so that an installed
// program still keeps its settings.
std::u16string ProfilePathFor(std::u16string_view folder, std::u16string_view baseName);

// The process-wide state that the GUI and the command-line tool bring up and down alike: the
// executable's folder, the picture plug-ins beside it, the INI file and the settings read from it,
// the pixel tables and the drawing workers.
class ProcessState {
  public:
    explicit ProcessState(ProcessOptions options, AppSettings& settings = Settings());
    ProcessState(const ProcessState&) = delete;
    ProcessState& operator=(const ProcessState&) = delete;

    // Finds the folder, loads the plug-ins, reads the settings, builds the pixel tables and starts
    // "DrawFrameThread" workers. A failure to start the workers is not reported: the program
    // still runs, it only draws on fewer threads.
    void Start();
    // Releases the plug-ins, writes every setting back (unless read-only) and stops the workers.
    // False when the settings could not be written. Does nothing before Start or a second time.
    bool Shutdown();

    // Asks kPresetQuestion; on OK sets the preset's values and restarts the workers with the new
    // "DrawFrameThread", which becomes 0 when they cannot be started. False when the user
    // declined (nothing changed). The caller makes sure no frame is being drawn.
    bool ApplyPreset(SettingsPreset preset, UserPrompt& prompt);

    const std::u16string& ExecutableFolder() const { return folder_; }
    // The picture plug-ins; loaded here on the first call when the options ask for that.
    const std::vector<DynamicModule>& PictureModules();
    bool PictureModulesOnDemand() const { return options_.pictureModulesOnDemand; }
    const std::u16string& IniPath() const { return profile_.Path(); }
    // The INI file, for the sections the views and the recent-file list keep.
    ProfileFile& Profile() { return profile_; }
    AppSettings& CurrentSettings() { return settings_; }
    bool HasVectorTier() const { return vectorTier_; }

  private:
    void ReadProfile();
    bool StartWorkers();
    void StopWorkers();

    ProcessOptions options_;
    AppSettings& settings_;
    std::u16string folder_;
    std::vector<DynamicModule> pictureModules_;
    std::mutex pictureModulesLock_;
    bool pictureModulesDue_ = false;  // between Start and Shutdown
    bool pictureModulesLoaded_ = false;
    ProfileFile profile_{std::u16string()};
    bool vectorTier_ = false;
    bool started_ = false;
};

}  // namespace kelvane
