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
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

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
    // heap still fires.
    void stop();
    bool isRunning() const { return running.load(); }

private:
    friend class TimerScheduler;

    std::mutex mutex;                 // serialises start and stop
    std::atomic<bool> running{false}; // cleared by the worker without mutex
    std::int64_t deadline = 0;        // monotonic clock, 100 ns ticks; read under the heap lock
    std::function<void()> callback;   // copied by the worker under the heap lock
    TimerScheduler* scheduler;
};

class TimerScheduler {
public:
    TimerScheduler() = default;
    // Stops and joins the worker.
    ~TimerScheduler();
    TimerScheduler(const TimerScheduler&) = delete;
    TimerScheduler& operator=(const TimerScheduler&) = delete;

    // True when the timer was put into the heap, false when it was there already.
    bool add(Timer* timer);
    // True when the timer was in the heap and has been taken out.
    bool remove(Timer* timer);

private:
    void workerLoop();
    void wakeWorker();  // caller holds heapLock
    // Orders the std heap algorithms as a min-heap: the earliest deadline in front.
    static bool laterDeadline(const Timer* a, const Timer* b);

    std::once_flag workerStarted;
    std::thread worker;
    std::mutex heapLock;
    std::vector<Timer*> heap;  // min-heap by deadline; guarded by heapLock
    std::mutex wakeLock;
    std::condition_variable wake;
    bool alive = true;          // guarded by wakeLock
    std::uint64_t changes = 0;  // guarded by wakeLock; counts wake-ups so none is missed
};

// Monotonic clock time in 100 ns ticks: a step of the wall clock neither
// stretches nor cuts a wait.
std::int64_t monotonicClockTicks();
