#include "platform/StepTimes.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace kelvane {

namespace {

struct StepTotal {
    std::atomic<int64_t> ns{0};
    std::atomic<uint32_t> count{0};
};

StepTotal g_totals[size_t(Step::kCount)];

constexpr const char* kNames[size_t(Step::kCount)] = {
    "process start", "plug-ins",     "settings",
    "engine set-up", "project read", "movie open and probe",
    "seek",          "decode",       "conversion",
    "composition",   "BMP write",    "shutdown"};

// CLOCK_MONOTONIC, as the caller's launch time is given.
int64_t MonotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

int64_t LaunchNs() {
    const char* value = std::getenv("KELVANE_STEP_TIMES");
    return value != nullptr ? std::strtoll(value, nullptr, 10) : 0;
}

}  // namespace

bool StepTimesOn() {
    static const bool on = std::getenv("KELVANE_STEP_TIMES") != nullptr;
    return on;
}

void AddStepTime(Step step, int64_t ns) {
    StepTotal& total = g_totals[size_t(step)];
    total.ns.fetch_add(ns, std::memory_order_relaxed);
    total.count.fetch_add(1, std::memory_order_relaxed);
}

void MarkMainEntered() {
    const int64_t launch = StepTimesOn() ? LaunchNs() : 0;
    if (launch > 1) {
        AddStepTime(Step::ProcessStart, MonotonicNs() - launch);
    }
}

std::string FormatStepTimes() {
    std::string text;
    for (size_t i = 0; i < size_t(Step::kCount); ++i) {
        const uint32_t count = g_totals[i].count.load(std::memory_order_relaxed);
        if (count == 0) {
            continue;
        }
        char line[96];
        std::snprintf(line, sizeof line, "step\t%s\t%.3f ms\t%u\n", kNames[i],
                      double(g_totals[i].ns.load(std::memory_order_relaxed)) / 1e6, count);
        text += line;
    }
    return text;
}

StepTimer::StepTimer(Step step) : step_(step), begin_(StepTimesOn() ? MonotonicNs() : 0) {}

StepTimer::~StepTimer() {
    if (begin_ != 0) {
        AddStepTime(step_, MonotonicNs() - begin_);
    }
}

}  // namespace kelvane
