#include "base/timer.h"

#include <algorithm>
#include <chrono>

#include "base/log.h"

std::int64_t monotonicClockTicks() {
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Timer::Timer(TimerScheduler& owner) : scheduler(&owner) {}

Timer::~Timer() {
    // The worker takes a timer off the heap and marks it idle under the heap
    // lock, and does not touch it afterwards: once stop has taken that lock,
    // nothing refers to this timer.
    stop();
}

void Timer::start(std::int64_t durationMs, std::function<void()> newCallback) {
    MutexLock guard(mutex);
    if (running.load()) {
        logLine("Error: Timer is running.");
        return;
    }
    deadline = monotonicClockTicks() + durationMs * kTicksPerMs;
    callback = std::move(newCallback);
    // Marked armed before the worker can see it: a short timer may fire, and be
    // marked idle by the worker, before add returns.
    running.store(true);
    scheduler->add(this);
}

void Timer::stop() {
    MutexLock guard(mutex);
    if (running.load() && scheduler->remove(this)) {
        running.store(false);
    }
}

bool TimerScheduler::laterDeadline(const Timer* a, const Timer* b) {
    return a->deadline > b->deadline;
}

TimerScheduler::~TimerScheduler() {
    stop();
}

void TimerScheduler::stop() {
    // Started now if it never was, so that a later add starts nothing.
    std::call_once(workerStarted, [] {});
    {
        MutexLock guard(wakeLock);
        alive = false;
        ++changes;
    }
    wake.notifyAll();
    if (worker.joinable()) {
        worker.join();
    }
}

void TimerScheduler::wakeWorker() {
    {
        MutexLock guard(wakeLock);
        ++changes;
    }
    wake.notifyAll();
}

bool TimerScheduler::add(Timer* timer) {
    std::call_once(workerStarted, [this] { worker = std::thread([this] { workerLoop(); }); });
    MutexLock guard(heapLock);
    if (std::find(heap.begin(), heap.end(), timer) != heap.end()) {
        return false;
    }
    const bool wakeNeeded = heap.empty() || timer->deadline < heap.front()->deadline;
    heap.push_back(timer);
    std::push_heap(heap.begin(), heap.end(), laterDeadline);
    if (wakeNeeded) {
        wakeWorker();
    }
    return true;
}

bool TimerScheduler::remove(Timer* timer) {
    MutexLock guard(heapLock);
    auto found = std::find(heap.begin(), heap.end(), timer);
    if (found == heap.end()) {
        return false;
    }
    const bool wasFront = found == heap.begin();
    heap.erase(found);
    std::make_heap(heap.begin(), heap.end(), laterDeadline);
    if (wasFront) {
        wakeWorker();
    }
    return true;
}

void TimerScheduler::workerLoop() {
    for (;;) {
        std::uint64_t seen;
        {
            MutexLock guard(wakeLock);
            if (!alive) {
                return;
            }
            seen = changes;
        }
        const std::int64_t now = monotonicClockTicks();
        std::int64_t next = now;
        Timer* due = nullptr;
        std::function<void()> callback;
        {
            MutexLock guard(heapLock);
            if (!heap.empty()) {
                next = heap.front()->deadline;
                if (now >= next) {
                    std::pop_heap(heap.begin(), heap.end(), laterDeadline);
                    due = heap.back();
                    heap.pop_back();
                    callback = due->callback;
                    // Idle before the lock goes: a stop that finds it off the
                    // heap also finds it idle, so it can be armed again at once.
                    due->running.store(false);
                }
            }
        }
        if (due != nullptr) {
            if (callback) {
                callback();
            }
            continue;
        }
        MutexLock guard(wakeLock);
        if (next == now) {
            while (changes == seen) {
                wake.wait(wakeLock);
            }
        } else {
            using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
            const std::chrono::steady_clock::time_point until{
                std::chrono::duration_cast<std::chrono::steady_clock::duration>(Ticks(next))};
            while (changes == seen && wake.waitUntil(wakeLock, until)) {
            }
        }
    }
}
