#include "base/timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Collects the order in which callbacks fire.
class FiringLog {
  public:
    std::function<void()> callback(int id) {
        return [this, id] {
            std::lock_guard<std::mutex> guard(lock);
            fired.push_back(id);
            changed.notify_all();
        };
    }
    bool waitForCount(std::size_t count, std::chrono::milliseconds timeout = 10s) {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, timeout, [&] { return fired.size() >= count; });
    }
    std::vector<int> order() {
        std::lock_guard<std::mutex> guard(lock);
        return fired;
    }

  private:
    std::mutex lock;
    std::condition_variable changed;
    std::vector<int> fired;
};

TEST(Timer, FiresOnceOnTheWorkerThreadAndIsIdleWhenItsCallbackRuns) {
    TimerScheduler scheduler;
    Timer timer(scheduler);
    FiringLog log;
    std::atomic<bool> runningInCallback{true};
    std::thread::id callbackThread;
    timer.start(20, [&] {
        runningInCallback.store(timer.isRunning());
        callbackThread = std::this_thread::get_id();
        log.callback(1)();
    });
    EXPECT_TRUE(timer.isRunning());
    ASSERT_TRUE(log.waitForCount(1));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(log.order().size(), 1u);
    EXPECT_FALSE(runningInCallback.load());
    EXPECT_NE(callbackThread, std::this_thread::get_id());
}

TEST(Timer, StartingAnArmedTimerLogsAndKeepsTheFirstDeadlineAndCallback) {
    TimerScheduler scheduler;
    Timer timer(scheduler);
    FiringLog log;
    timer.start(100, log.callback(1));
    testing::internal::CaptureStdout();
    timer.start(10, log.callback(2));
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("Error: Timer is running."), std::string::npos);
    ASSERT_TRUE(log.waitForCount(1));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(log.order(), std::vector<int>{1});
}

TEST(Timer, StopThenStartFiresOnlyTheSecondArming) {
    TimerScheduler scheduler;
    Timer timer(scheduler);
    FiringLog log;
    timer.start(50, log.callback(1));
    timer.stop();
    EXPECT_FALSE(timer.isRunning());
    timer.start(50, log.callback(2));
    ASSERT_TRUE(log.waitForCount(1));
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(log.order(), std::vector<int>{2});
}

TEST(Timer, ZeroMillisecondsFiresAtTheNextPass) {
    TimerScheduler scheduler;
    Timer timer(scheduler);
    FiringLog log;
    timer.start(0, log.callback(1));
    EXPECT_TRUE(log.waitForCount(1));
}

TEST(Timer, ATimerCanBeArmedAgainFromItsOwnCallback) {
    TimerScheduler scheduler;
    Timer timer(scheduler);
    FiringLog log;
    std::atomic<int> firings{0};
    std::function<void()> again = [&] {
        if (firings.fetch_add(1) == 0) {
            timer.start(5, again);
        }
        log.callback(firings.load())();
    };
    timer.start(5, again);
    EXPECT_TRUE(log.waitForCount(2));
}

TEST(TimerScheduler, ManyTimersFireInDeadlineOrder) {
    TimerScheduler scheduler;
    FiringLog log;
    std::vector<std::unique_ptr<Timer>> timers;
    // 100 ms apart, so that a test thread held up while it starts them cannot
    // reorder the deadlines themselves.
    const int delays[] = {600, 100, 400, 200, 800, 300, 700, 500};
    for (int i = 0; i < 8; ++i) {
        timers.push_back(std::make_unique<Timer>(scheduler));
        timers.back()->start(delays[i], log.callback(delays[i]));
    }
    ASSERT_TRUE(log.waitForCount(8));
    EXPECT_EQ(log.order(), (std::vector<int>{100, 200, 300, 400, 500, 600, 700, 800}));
}

TEST(TimerScheduler, AnEarlierTimerAddedWhileTheWorkerWaitsIsNotDelayed) {
    TimerScheduler scheduler;
    Timer late(scheduler);
    Timer early(scheduler);
    FiringLog log;
    late.start(60000, log.callback(1));
    std::this_thread::sleep_for(50ms);  // the worker now sleeps until the late deadline
    early.start(10, log.callback(2));
    EXPECT_TRUE(log.waitForCount(1, 5s));
    EXPECT_EQ(log.order(), std::vector<int>{2});
    late.stop();
}

TEST(TimerScheduler, AnArmedTimerIsInTheHeapOnceAndAStoppedOneNotAtAll) {
    TimerScheduler scheduler;
    Timer timer(scheduler);
    timer.start(60000, [] {});
    EXPECT_FALSE(scheduler.add(&timer));
    timer.stop();
    EXPECT_FALSE(timer.isRunning());
    EXPECT_FALSE(scheduler.remove(&timer));
}

TEST(TimerScheduler, DestructionWithTimersPendingReturnsWithoutFiringThem) {
    FiringLog log;
    {
        auto scheduler = std::make_unique<TimerScheduler>();
        Timer first(*scheduler);
        Timer second(*scheduler);
        first.start(60000, log.callback(1));
        second.start(30000, log.callback(2));
        first.stop();
        second.stop();
    }
    {
        // A scheduler whose worker never started is destroyed just as well.
        TimerScheduler unused;
    }
    EXPECT_TRUE(log.order().empty());
}

TEST(TimerScheduler, RacingStartsAndStopsNeverLoseOrDuplicateAFiring) {
    TimerScheduler scheduler;
    Timer timer(scheduler);
    std::atomic<int> fired{0};
    for (int i = 0; i < 300; ++i) {
        timer.start(0, [&] { fired.fetch_add(1); });
        if (i % 2 == 0) {
            timer.stop();
        }
        while (timer.isRunning()) {
            std::this_thread::yield();
        }
    }
    // Every unstopped arming fires; a stopped one fires only if the worker had
    // already taken it.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (fired.load() < 150 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(20ms);
    EXPECT_GE(fired.load(), 150);
    EXPECT_LE(fired.load(), 300);
}

}  // namespace
