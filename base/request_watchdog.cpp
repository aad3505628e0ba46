#include "base/request_watchdog.h"

#include <algorithm>
#include <vector>

RequestWatchdog::RequestWatchdog(TimerScheduler& scheduler) : timer(scheduler) {}

std::uint64_t RequestWatchdog::arm(std::chrono::milliseconds bound,
                                   std::function<void()> onExpiry) {
    MutexLock guard(lock);
    const std::uint64_t id = ++lastId;
    watches.emplace(
        id, Watch{monotonicClockTicks() + bound.count() * kTicksPerMs, std::move(onExpiry)});
    armTimer();
    return id;
}

bool RequestWatchdog::disarm(std::uint64_t id) {
    MutexLock guard(lock);
    return watches.erase(id) != 0;
}

bool RequestWatchdog::extend(std::uint64_t id, std::chrono::milliseconds bound) {
    MutexLock guard(lock);
    const auto found = watches.find(id);
    if (found == watches.end()) {
        return false;
    }
    found->second.deadline = monotonicClockTicks() + bound.count() * kTicksPerMs;
    armTimer();
    return true;
}

std::size_t RequestWatchdog::pending() const {
    MutexLock guard(lock);
    return watches.size();
}

void RequestWatchdog::armTimer() {
    if (watches.empty()) {
        return;  // a timer still armed fires, finds nothing due and stays idle
    }
    const std::int64_t earliest =
        std::min_element(watches.begin(), watches.end(), [](const auto& a, const auto& b) {
            return a.second.deadline < b.second.deadline;
        })->second.deadline;
    if (timer.isRunning() && timerDeadline <= earliest) {
        return;  // it fires in time, and re-arms for the rest
    }
    timer.stop();
    if (timer.isRunning()) {
        return;  // being fired right now: its callback re-arms
    }
    const std::int64_t waitTicks = std::max<std::int64_t>(0, earliest - monotonicClockTicks());
    timerDeadline = earliest;
    timer.start((waitTicks + kTicksPerMs - 1) / kTicksPerMs, [this] { fireDue(); });
}

void RequestWatchdog::fireDue() {
    std::vector<std::function<void()>> expired;
    {
        MutexLock guard(lock);
        const std::int64_t now = monotonicClockTicks();
        for (auto it = watches.begin(); it != watches.end();) {
            if (it->second.deadline <= now) {
                expired.push_back(std::move(it->second.onExpiry));
                it = watches.erase(it);
            } else {
                ++it;
            }
        }
        timerDeadline = 0;
        armTimer();
    }
    for (const auto& onExpiry : expired) {
        if (onExpiry) {
            onExpiry();
        }
    }
}
