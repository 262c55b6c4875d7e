#include "app/ProcessState.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/PictureModules.h"
#include "platform/CpuFeatures.h"
#include "platform/Path.h"
#include "platform/StepTimes.h"
#include "platform/UserPrompt.h"

namespace kelvane {

namespace {

bool IsWritableFolder(std::u16string_view folder) {
    return !folder.empty() && ::access(ToNativePath(folder).c_str(), W_OK) == 0;
}

// Relative values of the variables are ignored, as the base-directory convention asks.
std::u16string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return FromUtf8(xdg);
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry != nullptr ? entry->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] != '/') {
        return std::u16string();
    }
    return FromUtf8(home) + u"/.config";
}

}  // namespace

std::u16string ProfilePathFor(std::u16string_view folder, std::u16string_view baseName) {
    const std::u16string name = std::u16string(baseName) + u".INI";
    if (IsWritableFolder(folder)) {
        return std::u16string(folder) + u"/" + name;
    }
    std::u16string configHome = ConfigHome();
    if (configHome.empty()) {
        return std::u16string(folder) + u"/" + name;  // nowhere better: read what is there
    }
    return configHome + u"/kelvane/" + name;
}

ProcessState::ProcessState(ProcessOptions options, AppSettings& settings)
    : options_(std::move(options)),
      settings_(settings),
      vectorTier_(options_.vectorTier.value_or(kelvane::HasVectorTier())) {}

void ProcessState::Start() {
    if (started_) {
        return;
    }
    folder_ =
        options_.executableFolder.empty() ? kelvane::ExecutableFolder() : options_.executableFolder;
    {
        std::lock_guard<std::mutex> guard(pictureModulesLock_);
        pictureModulesLoaded_ = false;
        pictureModulesDue_ = true;
    }
    if (!options_.pictureModulesOnDemand) {
        PictureModules();
    }

    ReadProfile();

    const StepTimer setupTimer(Step::EngineSetup);
    if (options_.hooks.buildPixelTables) {
        options_.hooks.buildPixelTables();
    }
    StartWorkers();
    started_ = true;
}

void ProcessState::ReadProfile() {
    const StepTimer settingsTimer(Step::Settings);
    std::u16string baseName = options_.iniBaseName;
    if (baseName.empty()) {
        baseName = ExecutableName();
    }
    if (baseName.empty()) {
        baseName = u"kelvane";
    }
    profile_ = ProfileFile(ProfilePathFor(folder_, baseName));
    if (!options_.readOnlySettings) {
        // The settings folder may not exist yet on a first run; a failure shows up at the write.
        std::error_code error;
        std::filesystem::create_directories(ToNativePath(FolderOf(profile_.Path())), error);
    }

    ReadSettings(settings_, profile_, vectorTier_);
}

const std::vector<DynamicModule>& ProcessState::PictureModules() {
    std::lock_guard<std::mutex> guard(pictureModulesLock_);
    if (pictureModulesDue_ && !pictureModulesLoaded_) {
        const StepTimer timer(Step::PlugIns);
        pictureModules_ = LoadPictureModules(folder_);
        pictureModulesLoaded_ = true;
    }
    return pictureModules_;
}

bool ProcessState::Shutdown() {
    if (!started_) {
        return true;
    }
    started_ = false;
    {
        std::lock_guard<std::mutex> guard(pictureModulesLock_);
        pictureModules_.clear();
        pictureModulesDue_ = false;
    }
    bool ok = options_.readOnlySettings || WriteSettings(settings_, profile_);
    StopWorkers();
    return ok;
}

bool ProcessState::ApplyPreset(SettingsPreset preset, UserPrompt& prompt) {
    if (!prompt.AskOkCancel(kPresetQuestion)) {
        return false;
    }
    kelvane::ApplyPreset(settings_, preset, vectorTier_);
    StopWorkers();
    if (!StartWorkers()) {
        settings_.drawFrameThread = 0;
    }
    return true;
}

bool ProcessState::StartWorkers() {
    if (!options_.hooks.startWorkers) {
        return true;
    }
    return options_.hooks.startWorkers(settings_.drawFrameThread);
}

void ProcessState::StopWorkers() {
    if (options_.hooks.stopWorkers) {
        options_.hooks.stopWorkers();
    }
}

}  // namespace kelvane
