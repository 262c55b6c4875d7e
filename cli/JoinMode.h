#pragma once

#include <string>

#include "cli/CliOptions.h"
#include "model/Project.h"

namespace kelvane::cli {

// The project whose sound a join renders again: the one the parts' records name, when the parts
// carry their sound in a codec that primes each part and the project is there as it was when
// they were exported. Empty otherwise, with `why` saying why the parts' sound is copied as it is
// (empty when there is nothing to say: no sound, or sound that joins by copying).
std::string JoinSoundProject(const CliOptions& options, std::string& why);

// Joins the files exported with --frames into the output file (--join). `project` (may be null)
// is the parts' project loaded again for its sound; `soundNote` says why it is not there. Returns
// the exit status; a refusal or a failure is reported on stderr and leaves no output.
int RunJoinMode(const CliOptions& options, Project* project, const std::string& soundNote);

}  // namespace kelvane::cli
