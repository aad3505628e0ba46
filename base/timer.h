// One-shot timers fired by a scheduler's worker thread.
//
// A Timer is idle or armed. start arms it (an armed timer refuses, with a log
// line); firing or stop makes it idle again. Callbacks run on the scheduler's
// worker, one after another, with no lock held; a timer may be armed again
// from inside its own callback.
//
// Locks are taken in the order: Timer::mutex, TimerScheduler heap lock,
// TimerScheduler wake lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "base/mutex.h"

class TimerScheduler;

class Timer {
  public:
    explicit Timer(TimerScheduler& scheduler);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Called from the main thread.
    void start(std::int64_t durationMs, std::function<void()> callback);
    // Called from any thread. A timer the worker has already taken off the
    // heap still fires; it is idle all the same, and may be started again.
    void stop();
    bool isRunning() const { return running.load(); }

  private:
    friend class TimerScheduler;

    // Serialises start and stop. deadline and callback are written by start
    // under mutex while the timer is not in the heap, and read by the worker
    // under the heap lock once start has put it there: the heap hands them over.
    Mutex mutex;
    std::atomic<bool> running{false};  // cleared by the worker under the heap lock, not mutex
    std::int64_t deadline = 0;         // monotonic clock, 100 ns ticks
    std::function<void()> callback;
    TimerScheduler* scheduler;
};

class TimerScheduler {
  public:
    TimerScheduler() = default;
    // Stops and joins the worker.
    ~TimerScheduler();
    // Stops and joins the worker now: no callback runs after this returns,
    // and timers armed afterwards never fire. Idempotent.
    void stop();
    TimerScheduler(const TimerScheduler&) = delete;
    TimerScheduler& operator=(const TimerScheduler&) = delete;

    // True when the timer was put into the heap, false when it was there already.
    bool add(Timer* timer);
    // True when the timer was in the heap and has been taken out.
    bool remove(Timer* timer);

  private:
    void workerLoop();
    void wakeWorker() REQUIRES(heapLock);
    // Orders the std heap algorithms as a min-heap: the earliest deadline in front.
    static bool laterDeadline(const Timer* a, const Timer* b);

    std::once_flag workerStarted;
    std::thread worker;
    Mutex heapLock ACQUIRED_BEFORE(wakeLock);
    std::vector<Timer*> heap GUARDED_BY(heapLock);  // min-heap by deadline
    Mutex wakeLock;
    CondVar wake;
    bool alive GUARDED_BY(wakeLock) = true;
    std::uint64_t changes GUARDED_BY(wakeLock) = 0;  // counts wake-ups so none is missed
};

// Monotonic clock time in 100 ns ticks: a step of the wall clock neither
// stretches nor cuts a wait.
std::int64_t monotonicClockTicks();

// Ticks of monotonicClockTicks() in one millisecond.
inline constexpr std::int64_t kTicksPerMs = 10000;
