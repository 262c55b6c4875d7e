#include "Catalogue.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <unordered_map>

extern char** environ;

namespace frei0r_bridge {

namespace {

// A plug-in that neither finishes nor crashes within this time is given up.
constexpr int kProbeSilenceMs = 30000;

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The output of one probing process and how it ended.
struct ProbeRun {
    std::string output;
    std::string ending;  // why it stopped early; empty when it ran through
};

ProbeRun RunProbe(const std::string& program, const std::vector<std::string>& files) {
    ProbeRun run;
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0) {
        run.ending = "調べるためのプロセスを作れません。";
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, channel[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& file : files)
        argv.push_back(const_cast<char*>(file.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(channel[1]);
    if (spawned != 0) {
        close(channel[0]);
        run.ending = "調べるためのプロセスを作れません。";
        return run;
    }
    bool silent = false;
    char buffer[65536];
    while (true) {
        pollfd wait{channel[0], POLLIN, 0};
        int ready = poll(&wait, 1, kProbeSilenceMs);
        if (ready == 0) {
            silent = true;
            kill(child, SIGKILL);
            break;
        }
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            kill(child, SIGKILL);
            break;
        }
        ssize_t n = read(channel[0], buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        run.output.append(buffer, size_t(n));
    }
    close(channel[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (silent) {
        run.ending =
            "読み込みが " + std::to_string(kProbeSilenceMs / 1000) + " 秒たっても終わりません。";
    } else if (WIFSIGNALED(status)) {
        const char* name = strsignal(WTERMSIG(status));
        run.ending = "読み込み中に異常終了しました (" + std::string(name ? name : "") + ")。";
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        run.ending = "読み込み中に異常終了しました (終了コード " +
                     std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")。";
    }
    return run;
}

// Every file's report: from processes of their own, each taking up after the plug-in that ended
// the one before.
std::vector<ProbeReport> ProbeApart(const std::vector<std::string>& files,
                                    const std::string& program) {
    std::vector<ProbeReport> reports;
    size_t next = 0;
    while (next < files.size()) {
        std::vector<std::string> rest(files.begin() + std::ptrdiff_t(next), files.end());
        ProbeRun run = RunProbe(program, rest);
        std::vector<ProbeReport> got = ReadProbeLines(run.output);
        // Reports must come in the order asked for; anything else is not ours to trust.
        size_t taken = 0;
        while (taken < got.size() && taken < rest.size() && got[taken].path == rest[taken])
            ++taken;
        for (size_t i = 0; i < taken; ++i) {
            ProbeReport& report = got[i];
            if (!report.finished) {
                report.outcome = ProbeOutcome::Refused;
                report.reason = run.ending.empty() ? "読み込み中に終了しました。" : run.ending;
                report.finished = true;
            }
            reports.push_back(std::move(report));
        }
        if (taken == 0) {
            // Not even the first plug-in was announced: the program itself failed.
            ProbeReport report;
            report.path = rest[0];
            report.description.path = rest[0];
            report.reason = run.ending.empty() ? "調べられません。" : run.ending;
            reports.push_back(std::move(report));
            taken = 1;
        }
        next += taken;
    }
    return reports;
}

std::vector<ProbeReport> ProbeHere(const std::vector<std::string>& files) {
    std::vector<ProbeReport> reports;
    for (const std::string& file : files) {
        ProbeReport report;
        report.path = file;
        report.outcome = ProbePlugin(file, report.description, report.reason);
        report.finished = true;
        reports.push_back(std::move(report));
    }
    return reports;
}

}  // namespace

std::vector<std::string> SearchFolders() {
    std::vector<std::string> folders;
    if (const char* list = std::getenv("FREI0R_PATH")) {
        std::string text = list;
        size_t start = 0;
        while (start <= text.size()) {
            size_t colon = text.find(':', start);
            std::string folder = text.substr(start, colon - start);
            if (!folder.empty())
                folders.push_back(folder);
            if (colon == std::string::npos)
                break;
            start = colon + 1;
        }
    }
    if (const char* home = std::getenv("HOME"); home && *home)
        folders.push_back(std::string(home) + "/.frei0r-1/lib");
    folders.push_back("/usr/local/lib/frei0r-1");
    folders.push_back("/usr/lib/frei0r-1");
    return folders;
}

std::vector<std::string> PluginFiles(const std::vector<std::string>& folders) {
    std::vector<std::string> files;
    std::set<std::pair<dev_t, ino_t>> seen;
    for (const std::string& folder : folders) {
        DIR* dir = opendir(folder.c_str());
        if (!dir)
            continue;
        std::vector<std::string> names;
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (EndsWith(name, ".so"))
                names.push_back(name);
        }
        closedir(dir);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            std::string path = folder + (EndsWith(folder, "/") ? "" : "/") + name;
            struct stat info {};
            if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
                continue;
            if (seen.insert({info.st_dev, info.st_ino}).second)
                files.push_back(path);
        }
    }
    return files;
}

Catalogue Discover(const std::vector<std::string>& files, const std::string& probeProgram) {
    std::vector<ProbeReport> reports =
        probeProgram.empty() ? ProbeHere(files) : ProbeApart(files, probeProgram);
    Catalogue catalogue;
    std::unordered_map<std::string, size_t> byName;
    for (ProbeReport& report : reports) {
        if (report.outcome == ProbeOutcome::Mixer)
            continue;
        if (report.outcome == ProbeOutcome::Refused) {
            catalogue.leftOut.push_back({report.path, report.reason});
            continue;
        }
        auto found = byName.find(report.description.name);
        if (found != byName.end()) {
            catalogue.effects[found->second].shadowed.push_back(report.path);
            continue;
        }
        byName.emplace(report.description.name, catalogue.effects.size());
        catalogue.effects.push_back({std::move(report.description), {}});
    }
    return catalogue;
}

}  // namespace frei0r_bridge
