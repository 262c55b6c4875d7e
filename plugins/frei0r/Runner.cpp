#include "Runner.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <new>

#include "frei0r.h"

namespace frei0r_bridge {

namespace {

// More instances than this, and the ones used least recently (and not in use) go.
constexpr size_t kKeptInstances = 8;

struct FreeDeleter {
    void operator()(uint32_t* p) const { std::free(p); }
};
using AlignedFrame = std::unique_ptr<uint32_t[], FreeDeleter>;

// frei0r wants frames on 16-byte boundaries. Some plug-ins write past the end of small frames
// (particle systems that draw near the edge); a margin behind the frame takes those writes
// instead of whatever the heap keeps there.
AlignedFrame AllocateFrame(int32_t width, int32_t height) {
    const size_t margin = 65536 + size_t(width) * 4 * 8;
    const size_t bytes = size_t(width) * size_t(height) * 4 + margin;
    return AlignedFrame(static_cast<uint32_t*>(std::aligned_alloc(16, (bytes + 15) / 16 * 16)));
}

}  // namespace

struct Runner::Plugin {
    std::string path;
    void* handle = nullptr;
    bool ready = false;
    void (*deinit)() = nullptr;
    f0r_instance_t (*construct)(unsigned, unsigned) = nullptr;
    void (*destruct)(f0r_instance_t) = nullptr;
    void (*setParam)(f0r_instance_t, f0r_param_t, int) = nullptr;
    void (*update)(f0r_instance_t, double, const uint32_t*, uint32_t*) = nullptr;
};

struct Runner::Instance {
    std::mutex use;  // held while a thread runs it
    Plugin* plugin = nullptr;
    uint64_t entry = 0;
    int32_t id = 0, width = 0, height = 0;
    f0r_instance_t handle = nullptr;
    AlignedFrame in, out;
    std::vector<ParamSetting> applied;  // what the plug-in was last told
    bool told = false;                  // whether it was told anything yet
    uint64_t lastUse = 0;

    ~Instance() {
        if (handle)
            plugin->destruct(handle);
    }
};

Runner::Runner() = default;

Runner::~Runner() {
    instances_.clear();
    // The plug-ins stay mapped: some register handlers or threads that outlive f0r_deinit, and
    // unmapping their code under them would crash the process on its way out.
    for (auto& plugin : plugins_) {
        if (plugin->ready && plugin->deinit)
            plugin->deinit();
    }
}

Runner::Plugin* Runner::LoadPlugin(const std::string& path) {
    for (auto& plugin : plugins_) {
        if (plugin->path == path)
            return plugin->ready ? plugin.get() : nullptr;
    }
    auto plugin = std::make_unique<Plugin>();
    plugin->path = path;
    plugin->handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (plugin->handle) {
        auto init = reinterpret_cast<int (*)()>(dlsym(plugin->handle, "f0r_init"));
        plugin->deinit = reinterpret_cast<void (*)()>(dlsym(plugin->handle, "f0r_deinit"));
        plugin->construct = reinterpret_cast<f0r_instance_t (*)(unsigned, unsigned)>(
            dlsym(plugin->handle, "f0r_construct"));
        plugin->destruct =
            reinterpret_cast<void (*)(f0r_instance_t)>(dlsym(plugin->handle, "f0r_destruct"));
        plugin->setParam = reinterpret_cast<void (*)(f0r_instance_t, f0r_param_t, int)>(
            dlsym(plugin->handle, "f0r_set_param_value"));
        plugin->update =
            reinterpret_cast<void (*)(f0r_instance_t, double, const uint32_t*, uint32_t*)>(
                dlsym(plugin->handle, "f0r_update"));
        plugin->ready = init && plugin->construct && plugin->destruct && plugin->setParam &&
                        plugin->update && init() != 0;
    }
    plugins_.push_back(std::move(plugin));
    return plugins_.back()->ready ? plugins_.back().get() : nullptr;
}

std::shared_ptr<Runner::Instance> Runner::TakeInstance(const PluginDescription& description,
                                                       uint64_t entry, int32_t id, int32_t width,
                                                       int32_t height) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++clock_;
    for (auto& instance : instances_) {
        if (instance->entry == entry && instance->id == id && instance->width == width &&
            instance->height == height && instance->plugin->path == description.path) {
            instance->lastUse = clock_;
            return instance;
        }
    }
    Plugin* plugin = LoadPlugin(description.path);
    if (!plugin)
        return nullptr;
    auto instance = std::make_shared<Instance>();
    instance->plugin = plugin;
    instance->entry = entry;
    instance->id = id;
    instance->width = width;
    instance->height = height;
    const int32_t pw = PaddedSize(width), ph = PaddedSize(height);
    instance->in = AllocateFrame(pw, ph);
    instance->out = AllocateFrame(pw, ph);
    if (!instance->in || !instance->out)
        return nullptr;
    instance->handle = plugin->construct(unsigned(pw), unsigned(ph));
    if (!instance->handle)
        return nullptr;
    instance->lastUse = clock_;
    instances_.push_back(instance);
    while (instances_.size() > kKeptInstances) {
        auto idle = instances_.end();
        for (auto it = instances_.begin(); it != instances_.end(); ++it) {
            if (it->use_count() == 1 &&
                (idle == instances_.end() || (*it)->lastUse < (*idle)->lastUse))
                idle = it;
        }
        if (idle == instances_.end())
            break;
        instances_.erase(idle);
    }
    return instance;
}

bool Runner::Run(const PluginDescription& description, uint64_t entry, int32_t id,
                 const std::vector<ParamSetting>& settings, double time, const uint32_t* frame,
                 int32_t width, int32_t height,
                 const std::function<void(const PluginOutput&)>& drawBack) {
    std::shared_ptr<Instance> instance;
    try {
        instance = TakeInstance(description, entry, id, width, height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!instance)
        return false;
    std::lock_guard<std::mutex> use(instance->use);
    // Parameters are passed on only when they change: some plug-ins start over on every set.
    if (instance->applied.size() != settings.size()) {
        instance->applied.assign(settings.size(), ParamSetting{});
        instance->told = false;
    }
    for (size_t i = 0; i < settings.size() && i < description.params.size(); ++i) {
        const ParamSetting& s = settings[i];
        if (instance->told && instance->applied[i] == s)
            continue;
        f0r_instance_t handle = instance->handle;
        switch (description.params[i].type) {
            case F0R_PARAM_BOOL:
            case F0R_PARAM_DOUBLE: {
                double value = s.numbers[0];
                instance->plugin->setParam(handle, &value, int(i));
                break;
            }
            case F0R_PARAM_COLOR: {
                f0r_param_color_t colour{float(s.numbers[0]), float(s.numbers[1]),
                                         float(s.numbers[2])};
                instance->plugin->setParam(handle, &colour, int(i));
                break;
            }
            case F0R_PARAM_POSITION: {
                f0r_param_position_t position{s.numbers[0], s.numbers[1]};
                instance->plugin->setParam(handle, &position, int(i));
                break;
            }
            case F0R_PARAM_STRING: {
                char* text = const_cast<char*>(s.text.c_str());
                instance->plugin->setParam(handle, &text, int(i));
                break;
            }
            default:
                break;
        }
        instance->applied[i] = s;
    }
    instance->told = true;
    const bool filter = description.type == F0R_PLUGIN_TYPE_FILTER;
    if (filter)
        FrameToPlugin(frame, width, height, description.colourModel, instance->in.get());
    instance->plugin->update(instance->handle, time, filter ? instance->in.get() : nullptr,
                             instance->out.get());
    drawBack(OutputOf(instance->out.get(), width, height, description.colourModel));
    return true;
}

}  // namespace frei0r_bridge
