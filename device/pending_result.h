#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

// A result that an SDK completion delivers to a waiting thread. Shared by the
// two, so a completion that arrives after the waiter gave up still writes into
// live state.
template <typename T>
class PendingResult {
public:
    void deliver(T value) {
        {
            std::lock_guard<std::mutex> guard(lock);
            result = std::move(value);
        }
        arrived.notify_all();
    }

    std::optional<T> waitFor(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> guard(lock);
        arrived.wait_for(guard, timeout, [this] { return result.has_value(); });
        return result;
    }

private:
    std::mutex lock;
    std::condition_variable arrived;
    std::optional<T> result;  // guarded by lock
};
