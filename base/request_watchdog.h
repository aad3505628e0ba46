// Bounded waits for armband requests that may never be answered.
//
// arm starts a wait and returns its id. Whichever comes first settles the
// request: its answer (disarm returns true: report the answer) or its deadline
// (the expiry action runs: report the give-up). So a request is reported
// exactly once, and an answer that comes after the deadline finds disarm false
// and is ignored.
//
// Any thread may call arm, disarm and extend. Expiry actions run on the timer
// worker with no lock held, one after another; they only log and queue events.
// Lock order: the watchdog's lock, then the Timer's locks.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>

#include "base/mutex.h"
#include "base/timer.h"

class RequestWatchdog {
  public:
    explicit RequestWatchdog(TimerScheduler& scheduler);
    RequestWatchdog(const RequestWatchdog&) = delete;
    RequestWatchdog& operator=(const RequestWatchdog&) = delete;

    // A wait that ends in onExpiry after `bound` unless disarmed first. Ids start at 1.
    std::uint64_t arm(std::chrono::milliseconds bound, std::function<void()> onExpiry)
        EXCLUDES(lock);
    // True when the wait was still on: it is over now and will not expire.
    bool disarm(std::uint64_t id) EXCLUDES(lock);
    // Moves a wait that is still on to `bound` from now; false when it is over.
    bool extend(std::uint64_t id, std::chrono::milliseconds bound) EXCLUDES(lock);
    // Waits still on.
    std::size_t pending() const EXCLUDES(lock);

  private:
    struct Watch {
        std::int64_t deadline;  // monotonic clock ticks
        std::function<void()> onExpiry;
    };

    void fireDue() EXCLUDES(lock);  // the timer's callback
    void armTimer() REQUIRES(lock);

    mutable Mutex lock;
    std::map<std::uint64_t, Watch> watches GUARDED_BY(lock);
    std::uint64_t lastId GUARDED_BY(lock) = 0;
    std::int64_t timerDeadline GUARDED_BY(lock) = 0;  // what the timer is armed for
    Timer timer;
};
