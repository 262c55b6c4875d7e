#include "media/PicturePlugins.h"

#include <mutex>
#include <utility>

namespace kelvane {

namespace {
std::mutex g_lock;
std::span<const DynamicModule> g_plugins;
std::function<std::span<const DynamicModule>()> g_loader;
}  // namespace

void SetPicturePlugins(std::span<const DynamicModule> plugins) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_loader = nullptr;
    g_plugins = plugins;
}

void SetPicturePluginLoader(std::function<std::span<const DynamicModule>()> loader) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_loader = std::move(loader);
    g_plugins = {};
}

std::span<const DynamicModule> PicturePlugins() {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_loader) {
        g_plugins = g_loader();
        g_loader = nullptr;
    }
    return g_plugins;
}

}  // namespace kelvane
