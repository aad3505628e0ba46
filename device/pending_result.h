#pragma once

#include <chrono>
#include <optional>

#include "core/mutex.h"

// A result that an SDK completion delivers to a waiting thread. Shared by the
// two, so a completion that arrives after the waiter gave up still writes into
// live state.
template <typename T>
class PendingResult {
  public:
    void deliver(T value) {
        {
            MutexLock guard(lock);
            result = std::move(value);
        }
        arrived.notifyAll();
    }

    std::optional<T> waitFor(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        MutexLock guard(lock);
        while (!result.has_value() && arrived.waitUntil(lock, deadline)) {
        }
        return result;
    }

  private:
    Mutex lock;
    CondVar arrived;
    std::optional<T> result GUARDED_BY(lock);
};
