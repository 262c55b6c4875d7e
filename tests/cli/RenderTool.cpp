#include "RenderTool.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

extern char** environ;

namespace kelvane::testing {

namespace fs = std::filesystem;

namespace {

// A hard link keeps the copy cheap; the running program then finds its folder through it.
void LinkOrCopy(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::create_hard_link(from, to, error);
    if (error) {
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    }
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

RenderTool::RenderTool(const fs::path& root) : folder_(root / "bin") {
    // In the sanitizer build the tool reports leaks at exit; those inside third-party encoders
    // (tests/lsan.supp) are not ours to fix.
    setenv("LSAN_OPTIONS", "suppressions=" KELVANE_LSAN_SUPPRESSIONS, 0);
    fs::create_directories(folder_);
    const fs::path tool = KELVANE_RENDER_PATH;
    LinkOrCopy(tool, folder_ / "kelvane-render");
    for (const char* plugin : {"effect.so", "picture-ffmpeg.spi", "frei0r.so", "frei0r-probe"}) {
        const fs::path shipped = tool.parent_path() / plugin;
        if (fs::exists(shipped)) {
            fs::create_symlink(shipped, folder_ / plugin);
        }
    }
}

ToolRun RenderTool::Run(const std::vector<std::string>& args,
                        const std::function<void(pid_t)>& whileRunning) const {
    return Spawn({}, args, whileRunning);
}

ToolRun RenderTool::RunThrough(const std::vector<std::string>& wrapper,
                               const std::vector<std::string>& args) const {
    return Spawn(wrapper, args, {});
}

ToolRun RenderTool::Spawn(const std::vector<std::string>& wrapper,
                          const std::vector<std::string>& args,
                          const std::function<void(pid_t)>& whileRunning) const {
    const fs::path outPath = folder_.parent_path() / "tool.out";
    const fs::path errPath = folder_.parent_path() / "tool.err";
    const std::string tool = (folder_ / "kelvane-render").string();
    const std::string program = wrapper.empty() ? tool : wrapper.front();
    std::vector<char*> argv;
    for (const std::string& arg : wrapper) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(const_cast<char*>(tool.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ToolRun run;
    pid_t pid = 0;
    const int spawned =
        posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        run.err = "spawn failed";
        return run;
    }
    if (whileRunning) {
        whileRunning(pid);
    }
    int wstatus = 0;
    while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    run.out = ReadText(outPath);
    run.err = ReadText(errPath);
    return run;
}

}  // namespace kelvane::testing
