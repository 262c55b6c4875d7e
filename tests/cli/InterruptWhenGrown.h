#pragma once

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <thread>

namespace kelvane::testing {

// Sends Ctrl+C to the run once its output holds more than `bytes` (some frames on disk, so that
// the export is under way), or after a minute. True when the signal was sent.
inline bool InterruptWhenGrown(pid_t pid, const std::filesystem::path& out, uintmax_t bytes) {
    using namespace std::chrono_literals;
    const auto give_up = std::chrono::steady_clock::now() + 60s;
    std::error_code error;
    while (std::chrono::steady_clock::now() < give_up) {
        const auto size = std::filesystem::file_size(out, error);
        if (!error && size > bytes) {
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    return ::kill(pid, SIGINT) == 0;
}

}  // namespace kelvane::testing
