#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "PixelExchange.h"
#include "PluginDescription.h"

namespace frei0r_bridge {

// One parameter value as the bridge hands it to a plug-in (frei0r's types).
struct ParamSetting {
    double numbers[3] = {0, 0, 0};
    std::string text;
    bool operator==(const ParamSetting&) const = default;
};

// Runs frei0r plug-ins in this process: each plug-in file is loaded and initialised once, and
// there is one instance per (entry, frame size), which one thread uses at a time. Instances not
// used for a while are destroyed once more than a few exist.
class Runner {
  public:
    Runner();
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;
    ~Runner();

    // Runs the plug-in on `frame` (ours, width x height; ignored by sources) and hands its output
    // to `drawBack`, which reads it in place before the instance serves anyone else. False when the
    // plug-in cannot be loaded or constructed, or memory runs out.
    bool Run(const PluginDescription& plugin, uint64_t entry, int32_t id,
             const std::vector<ParamSetting>& settings, double time, const uint32_t* frame,
             int32_t width, int32_t height,
             const std::function<void(const PluginOutput&)>& drawBack);

  private:
    struct Plugin;
    struct Instance;
    Plugin* LoadPlugin(const std::string& path);
    std::shared_ptr<Instance> TakeInstance(const PluginDescription& plugin, uint64_t entry,
                                           int32_t id, int32_t width, int32_t height);

    std::mutex mutex_;
    std::vector<std::unique_ptr<Plugin>> plugins_;
    std::vector<std::shared_ptr<Instance>> instances_;
    uint64_t clock_ = 0;
};

}  // namespace frei0r_bridge
