#pragma once

#include <span>

#include "platform/DynamicModule.h"

namespace kelvane {

// The picture plug-ins found beside the executable at start-up, in the order they are asked.
// Set once by the process start-up; the list itself stays owned by the caller.
void SetPicturePlugins(std::span<const DynamicModule> plugins);
std::span<const DynamicModule> PicturePlugins();

}  // namespace kelvane
