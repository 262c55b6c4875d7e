#pragma once

#include "cli/CliOptions.h"
#include "model/Project.h"
#include "platform/UserPrompt.h"

namespace kelvane::cli {

// Writes frames 0 to length - 1 of the project into an AVI file with the named compressor
// (uncompressed without one). Ctrl+C acts as the progress window's "中断": the run stops between
// frames and the file keeps the frames written so far. Returns the exit status; failures are
// reported through `prompt`.
int RunExportMode(const CliOptions& options, Project& project, UserPrompt& prompt);

}  // namespace kelvane::cli
