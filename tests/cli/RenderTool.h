#pragma once

// Runs the built kelvane-render as a separate process, from a private copy of its folder: the
// executable beside links to the shipped plug-ins and an INI file that each test controls.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kelvane::testing {

struct ToolRun {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

class RenderTool {
  public:
    // Sets up the folder below `root`.
    explicit RenderTool(const std::filesystem::path& root);

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path IniPath() const { return folder_ / "kelvane.INI"; }

    // Runs the tool with the arguments and waits for it. `whileRunning` (may be empty) is called
    // with the child's id right after the start; it may signal the child.
    ToolRun Run(const std::vector<std::string>& args,
                const std::function<void(pid_t)>& whileRunning = {}) const;
    // The same through a command that runs the tool as its last arguments (prlimit, unshare).
    ToolRun RunThrough(const std::vector<std::string>& wrapper,
                       const std::vector<std::string>& args) const;

  private:
    ToolRun Spawn(const std::vector<std::string>& wrapper, const std::vector<std::string>& args,
                  const std::function<void(pid_t)>& whileRunning) const;

    std::filesystem::path folder_;
};

}  // namespace kelvane::testing
