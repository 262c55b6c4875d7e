#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <string>
#include <system_error>

namespace kelvane {

std::vector<int> ProcessThreadIds() {
    std::vector<int> ids;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        const std::string name = task.path().filename().string();
        int id = 0;
        const auto [end, result] = std::from_chars(name.data(), name.data() + name.size(), id);
        if (result == std::errc() && end == name.data() + name.size()) {
            ids.push_back(id);
        }
    }
    return ids;
}

int CallingThreadId() {
    return int(::syscall(SYS_gettid));
}

// On Linux the niceness set for a thread ID applies to that thread alone.
int ThreadNiceness(int threadId) {
    errno = 0;
    const int niceness = ::getpriority(PRIO_PROCESS, id_t(threadId));
    return errno == 0 ? niceness : 0;
}

bool LowerThreadPriority(int threadId, int steps) {
    if (steps <= 0) {
        return steps == 0;
    }
    return ::setpriority(PRIO_PROCESS, id_t(threadId), ThreadNiceness(threadId) + steps) == 0;
}

}  // namespace kelvane
