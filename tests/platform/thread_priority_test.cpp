// Lowering one thread's priority: the export gives up the composing threads' share of the
// processor to the encoder's, and must not take the encoder's threads down with them.
#include "platform/ThreadPriority.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kelvane {
namespace {

bool Contains(const std::vector<int>& ids, int id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

TEST(ThreadPriority, OnlyTheNamedThreadIsLowered) {
    std::mutex lock;
    std::condition_variable changed;
    int otherId = 0;
    bool lowered = false;
    int otherNiceness = -1;
    std::thread other([&] {
        std::unique_lock<std::mutex> guard(lock);
        otherId = CallingThreadId();
        changed.notify_all();
        changed.wait(guard, [&] { return lowered; });
        otherNiceness = ThreadNiceness(CallingThreadId());
    });
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return otherId != 0; });
    }
    const std::vector<int> ids = ProcessThreadIds();
    EXPECT_TRUE(Contains(ids, CallingThreadId()));
    EXPECT_TRUE(Contains(ids, otherId));

    const int mine = ThreadNiceness(CallingThreadId());
    const int before = ThreadNiceness(otherId);
    ASSERT_TRUE(LowerThreadPriority(otherId, 3));
    {
        std::lock_guard<std::mutex> guard(lock);
        lowered = true;
    }
    changed.notify_all();
    other.join();
    EXPECT_EQ(otherNiceness, std::min(before + 3, 19));
    EXPECT_EQ(ThreadNiceness(CallingThreadId()), mine);
    EXPECT_TRUE(LowerThreadPriority(CallingThreadId(), 0));
    EXPECT_FALSE(Contains(ProcessThreadIds(), otherId));
}

}  // namespace
}  // namespace kelvane
