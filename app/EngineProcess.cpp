#include "app/EngineProcess.h"

#include <csignal>
#include <utility>

#include "media/PicturePlugins.h"
#include "render/DrawThreadPool.h"
#include "render/PixelTables.h"
#include "render/SamplingMatrix.h"

namespace kelvane {

namespace {

ProcessOptions WithRenderHooks(ProcessOptions options) {
    options.hooks.buildPixelTables = [] {
        InitSamplingMatrix();
        BuildPixelTables();
    };
    options.hooks.startWorkers = [](int count) {
        return count >= 0 && CreateDrawThreadPool(uint32_t(count));
    };
    options.hooks.stopWorkers = [] { DestroyDrawThreadPool(); };
    return options;
}

}  // namespace

EngineProcess::EngineProcess(ProcessOptions options)
    : state_(WithRenderHooks(std::move(options))) {}

EngineProcess::~EngineProcess() {
    Shutdown();
}

void EngineProcess::Start() {
    // A file size limit is a write error to report like a full disk, not a reason to end the
    // process with the work unsaved.
    std::signal(SIGXFSZ, SIG_IGN);
    state_.Start();
    if (state_.PictureModulesOnDemand()) {
        SetPicturePluginLoader(
            [this] { return std::span<const DynamicModule>(state_.PictureModules()); });
    } else {
        SetPicturePlugins(state_.PictureModules());
    }
    running_ = true;
}

bool EngineProcess::Shutdown() {
    if (!running_) {
        return true;
    }
    running_ = false;
    // The media layer must not keep a view of modules the shut-down releases.
    SetPicturePlugins({});
    return state_.Shutdown();
}

}  // namespace kelvane
