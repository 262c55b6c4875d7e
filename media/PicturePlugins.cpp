#include "media/PicturePlugins.h"

namespace kelvane {

namespace {
std::span<const DynamicModule> g_plugins;
}

void SetPicturePlugins(std::span<const DynamicModule> plugins) {
    g_plugins = plugins;
}

std::span<const DynamicModule> PicturePlugins() {
    return g_plugins;
}

}  // namespace kelvane
