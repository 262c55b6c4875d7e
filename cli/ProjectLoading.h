#pragma once

#include <memory>
#include <string>

#include <vector>

#include "cli/CliOptions.h"
#include "model/Project.h"
#include "platform/UserPrompt.h"

namespace kelvane::cli {

// Reads the project file at a native path (made absolute first, so that the media paths relative
// to the project's folder resolve) with its media. The reader's questions go to `prompt`. On
// failure "読み込みに失敗しました。" is shown and null returned. A media file missing from a folder
// of `relinks` is looked for in its new folder; how many were found there is told on stderr.
std::unique_ptr<Project> LoadProject(const std::string& path, UserPrompt& prompt,
                                     const std::vector<FolderRelink>& relinks = {});

}  // namespace kelvane::cli
