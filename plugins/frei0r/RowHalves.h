#pragma once

#include <cstddef>
#include <cstdint>
#include <system_error>
#include <thread>

namespace frei0r_bridge {

// Frames smaller than this are not worth a second thread.
constexpr size_t kPixelsWorthASecondThread = 256 * 1024;

// The thread kept for upper halves, so that a frame does not pay for starting one. One caller
// has it at a time; StartOnKeptThread is false when another has it (or it cannot be had), and
// after a true one the caller must call JoinKeptThread.
using HalfJob = void (*)(const void* work, int32_t begin, int32_t end);
bool StartOnKeptThread(HalfJob job, const void* work, int32_t begin, int32_t end);
void JoinKeptThread();

// Runs `work(begin, end, part)` over the rows [first, last): the lower half (part 0) on this
// thread and the upper half (part 1) on one more, when the rows hold enough pixels. `work` must
// not throw; whatever it allocates is allocated beforehand, one share per part.
template <typename Work>
void SplitRows(int32_t first, int32_t last, size_t pixelsPerRow, const Work& work) {
    const int32_t rows = last - first;
    if (rows < 2 || size_t(rows) * pixelsPerRow < kPixelsWorthASecondThread) {
        work(first, last, 0);
        return;
    }
    const int32_t middle = first + rows / 2;
    const HalfJob upper = [](const void* w, int32_t begin, int32_t end) {
        (*static_cast<const Work*>(w))(begin, end, 1);
    };
    if (StartOnKeptThread(upper, &work, middle, last)) {
        work(first, middle, 0);
        JoinKeptThread();
        return;
    }
    std::thread helper;
    try {
        helper = std::thread([&work, middle, last] { work(middle, last, 1); });
    } catch (const std::system_error&) {
        work(first, last, 0);  // no thread to be had: all of it here
        return;
    }
    work(first, middle, 0);
    helper.join();
}

}  // namespace frei0r_bridge
