#pragma once

#include <functional>
#include <span>

#include "platform/DynamicModule.h"

namespace kelvane {

// The picture plug-ins found beside the executable, in the order they are asked. Set once by the
// process start-up; the list itself stays owned by the caller.
void SetPicturePlugins(std::span<const DynamicModule> plugins);
// Instead of the list, the function that loads it: called by the first PicturePlugins(), so that a
// process that reads no picture never maps the plug-ins (nor the libraries they pull in).
void SetPicturePluginLoader(std::function<std::span<const DynamicModule>()> loader);
std::span<const DynamicModule> PicturePlugins();

}  // namespace kelvane
