#include "base/request_watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

bool waitFor(const std::atomic<int>& count, int expected) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (count.load() != expected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    return count.load() == expected;
}

TEST(RequestWatchdog, AWaitEndsOnceByItsAnswerOrByItsDeadline) {
    TimerScheduler scheduler;
    RequestWatchdog watchdog(scheduler);
    std::atomic<int> expired{0};
    const std::uint64_t answered = watchdog.arm(50ms, [&] { expired += 100; });
    const std::uint64_t silent = watchdog.arm(30ms, [&] { expired += 1; });
    const std::uint64_t extended = watchdog.arm(30ms, [&] { expired += 10; });
    EXPECT_TRUE(watchdog.disarm(answered));
    EXPECT_FALSE(watchdog.disarm(answered)) << "a second answer is late";
    EXPECT_TRUE(watchdog.extend(extended, 300ms));
    ASSERT_TRUE(waitFor(expired, 1));
    EXPECT_FALSE(watchdog.disarm(silent)) << "an answer after the deadline is late";
    EXPECT_EQ(watchdog.pending(), 1u);
    ASSERT_TRUE(waitFor(expired, 11));
    EXPECT_FALSE(watchdog.extend(extended, 300ms));
    EXPECT_EQ(watchdog.pending(), 0u);
}

TEST(RequestWatchdog, AnEarlierDeadlineArmedLaterStillComesFirst) {
    TimerScheduler scheduler;
    RequestWatchdog watchdog(scheduler);
    std::atomic<int> order{0};
    std::atomic<int> late{0};
    watchdog.arm(2000ms, [&] { late = ++order; });
    watchdog.arm(20ms, [&] { ++order; });
    ASSERT_TRUE(waitFor(order, 1));
    EXPECT_EQ(late.load(), 0);
}

}  // namespace
