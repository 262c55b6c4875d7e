#pragma once

#include "cli/CliOptions.h"

namespace kelvane::cli {

// Joins the files exported with --frames into the output file (--join). Returns the exit status;
// a refusal or a failure is reported on stderr and leaves no output.
int RunJoinMode(const CliOptions& options);

}  // namespace kelvane::cli
