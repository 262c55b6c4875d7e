#pragma once

#include "cli/CliOptions.h"
#include "model/Project.h"
#include "platform/UserPrompt.h"

namespace kelvane::cli {

// Saves one frame as the preview does: the whole composition at the frame with every track reset
// first, or one track alone, into an output-size image written as a BMP file. Returns the exit
// status; failures are reported through `prompt`.
int RunFrameMode(const CliOptions& options, Project& project, UserPrompt& prompt);

}  // namespace kelvane::cli
