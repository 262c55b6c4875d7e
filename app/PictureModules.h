#pragma once

#include <string_view>
#include <vector>

#include "platform/DynamicModule.h"

namespace kelvane {

// Loads every "*.spi" file of `folder` (the extension compared case-insensitively, in name order
// so that the first plug-in to accept a picture is always the same one). A file that fails to load
// keeps its place as an unloaded entry, which the picture loader skips. No match: an empty list.
std::vector<DynamicModule> LoadPictureModules(std::u16string_view folder);

}  // namespace kelvane
