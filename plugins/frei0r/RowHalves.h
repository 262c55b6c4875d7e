#pragma once

#include <cstddef>
#include <cstdint>
#include <system_error>
#include <thread>

namespace frei0r_bridge {

// Frames smaller than this are not worth a second thread.
constexpr size_t kPixelsWorthASecondThread = 256 * 1024;

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
