#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace kelvane {
namespace {

using namespace std::chrono_literals;

// Waits (without a time limit of consequence) until `count` reaches `expected`.
bool Reaches(const std::atomic<int>& count, int expected) {
    for (int i = 0; i < 5000 && count.load() < expected; ++i) {
        std::this_thread::sleep_for(1ms);
    }
    return count.load() >= expected;
}

TEST(Event, AutoResetReleasesOneWaiterPerSet) {
    Event event(Event::Reset::Auto);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; ++i) {
        waiters.emplace_back([&] {
            event.Wait();
            ++released;
        });
    }
    event.Set();
    ASSERT_TRUE(Reaches(released, 1));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(released.load(), 1);
    event.Set();
    ASSERT_TRUE(Reaches(released, 2));
    for (auto& t : waiters) {
        t.join();
    }
    EXPECT_FALSE(event.WaitFor(0));  // each Set was consumed
}

TEST(Event, AutoResetClearsOnTheWaitThatSeesIt) {
    Event event(Event::Reset::Auto, true);
    EXPECT_TRUE(event.WaitFor(0));
    EXPECT_FALSE(event.WaitFor(0));
    event.Set();
    event.Set();  // a second Set before any wait does not count twice
    EXPECT_TRUE(event.WaitFor(10));
    EXPECT_FALSE(event.WaitFor(0));
}

TEST(Event, TimedWaitTimesOut) {
    Event event(Event::Reset::Manual);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.WaitFor(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
}

TEST(Event, ManualResetStaysSetAndReleasesEveryWaiter) {
    Event event(Event::Reset::Manual);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            event.Wait();
            ++released;
        });
    }
    event.Set();
    ASSERT_TRUE(Reaches(released, 3));
    for (auto& t : waiters) {
        t.join();
    }
    EXPECT_TRUE(event.WaitFor(0));
    EXPECT_TRUE(event.WaitFor(0));
    event.Clear();
    EXPECT_FALSE(event.WaitFor(0));
}

TEST(Event, SetFromAnotherThreadEndsATimedWait) {
    Event event(Event::Reset::Auto);
    std::thread setter([&] {
        std::this_thread::sleep_for(10ms);
        event.Set();
    });
    EXPECT_TRUE(event.WaitFor(60000));
    setter.join();
}

}  // namespace
}  // namespace kelvane
