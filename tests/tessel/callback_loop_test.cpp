#include "tessel/sim/callback_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <string>
#include <vector>

namespace tessel::sim {
namespace {

using namespace std::chrono_literals;

class Gate {
  public:
    void open() {
        std::lock_guard<std::mutex> guard(lock);
        opened = true;
        changed.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [this] { return opened; });
    }

  private:
    std::mutex lock;
    std::condition_variable changed;
    bool opened = false;
};

TEST(CallbackLoop, RunsTasksByDueTimeAndSameTimeTasksInPostingOrder) {
    CallbackLoop loop;
    loop.start();
    Gate gate;
    std::mutex lock;
    std::vector<std::string> order;
    const auto note = [&](const char* name) {
        return [&, name] {
            std::lock_guard<std::mutex> guard(lock);
            order.push_back(name);
        };
    };
    std::promise<void> done;
    // The loop is held in the first task until everything else is queued.
    loop.post(Clock::now(), [&] { gate.wait(); });
    const auto base = Clock::now();
    loop.post(base + 3ms, note("late"));
    loop.post(base + 1ms, note("first"));
    loop.post(base + 1ms, note("second"));
    loop.post(base + 2ms, note("middle"));
    loop.post(base + 4ms, [&] { done.set_value(); });
    gate.open();
    ASSERT_EQ(done.get_future().wait_for(20s), std::future_status::ready);
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "middle", "late"}));
}

TEST(CallbackLoop, ATaskPostedFromATaskRunsAfterItReturns) {
    CallbackLoop loop;
    loop.start();
    std::atomic<bool> outerReturned{false};
    std::promise<bool> innerSawOuterDone;
    loop.post(Clock::now(), [&] {
        loop.post(Clock::now(), [&] { innerSawOuterDone.set_value(outerReturned.load()); });
        std::this_thread::sleep_for(5ms);  // gives a synchronous call every chance to show
        outerReturned.store(true);
    });
    auto future = innerSawOuterDone.get_future();
    ASSERT_EQ(future.wait_for(20s), std::future_status::ready);
    EXPECT_TRUE(future.get());
}

TEST(CallbackLoop, RunsOneTaskAtATimeWhoeverPosts) {
    CallbackLoop loop;
    loop.start();
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::atomic<int> ran{0};
    const auto task = [&] {
        if (inside.fetch_add(1) != 0) {
            overlapped.store(true);
        }
        std::this_thread::yield();
        inside.fetch_sub(1);
        ran.fetch_add(1);
    };
    std::thread other([&] {
        for (int i = 0; i < 500; ++i) {
            loop.post(Clock::now(), task);
        }
    });
    for (int i = 0; i < 500; ++i) {
        loop.post(Clock::now(), task);
    }
    other.join();
    std::promise<void> drained;
    loop.post(Clock::now(), [&] { drained.set_value(); });
    ASSERT_EQ(drained.get_future().wait_for(20s), std::future_status::ready);
    EXPECT_EQ(ran.load(), 1000);
    EXPECT_FALSE(overlapped.load());
}

TEST(CallbackLoop, StoppingDropsQueuedTasksAndRefusesNewOnes) {
    CallbackLoop loop;
    EXPECT_FALSE(loop.post(Clock::now(), [] {})) << "a loop that never started takes no task";
    loop.start();
    std::atomic<bool> ran{false};
    ASSERT_TRUE(loop.post(Clock::now() + 1h, [&] { ran.store(true); }));
    loop.stop();
    EXPECT_FALSE(ran.load());
    EXPECT_FALSE(loop.post(Clock::now(), [&] { ran.store(true); }));
    EXPECT_FALSE(loop.running());
}

TEST(CallbackLoop, StopCalledFromATaskEndsTheLoopWithoutDeadlock) {
    CallbackLoop loop;
    loop.start();
    std::promise<void> stopped;
    loop.post(Clock::now(), [&] {
        loop.stop();
        stopped.set_value();
    });
    ASSERT_EQ(stopped.get_future().wait_for(20s), std::future_status::ready);
    EXPECT_FALSE(loop.post(Clock::now(), [] {}));
    loop.stop();  // joins the finished thread
    loop.start();
    std::promise<void> again;
    ASSERT_TRUE(loop.post(Clock::now(), [&] { again.set_value(); })) << "a stopped loop restarts";
    EXPECT_EQ(again.get_future().wait_for(20s), std::future_status::ready);
}

}  // namespace
}  // namespace tessel::sim
