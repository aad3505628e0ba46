// The one mutex of the server, its scoped lock and its condition variable,
// annotated so that clang checks every locking contract (see
// base/thread_annotations.h). Same behaviour as std::mutex,
// std::lock_guard/std::unique_lock and std::condition_variable.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "base/thread_annotations.h"

class CAPABILITY("mutex") Mutex {
  public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() ACQUIRE() { native.lock(); }
    void unlock() RELEASE() { native.unlock(); }

  private:
    friend class CondVar;
    std::mutex native;
};

// Holds the mutex from construction to destruction; unlock and lock in
// between let a scope drop it for a while (it must hold it again, or not, at
// its end as it did when the lock was made: the destructor releases it only
// if held).
class SCOPED_CAPABILITY MutexLock {
  public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : held(mutex) { held.lock(); }
    ~MutexLock() RELEASE() {
        if (locked) {
            held.unlock();
        }
    }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    void unlock() RELEASE() {
        locked = false;
        held.unlock();
    }
    void lock() ACQUIRE() {
        held.lock();
        locked = true;
    }

  private:
    Mutex& held;
    bool locked = true;
};

// Waits with a Mutex held; the caller tests its condition in a loop, with the
// mutex held, around each wait (a wake-up may be spurious).
class CondVar {
  public:
    CondVar() = default;
    CondVar(const CondVar&) = delete;
    CondVar& operator=(const CondVar&) = delete;

    void wait(Mutex& mutex) REQUIRES(mutex) {
        std::unique_lock<std::mutex> adopted(mutex.native, std::adopt_lock);
        changed.wait(adopted);
        adopted.release();
    }
    // False when the deadline passed.
    template <typename Clock, typename Duration>
    bool waitUntil(Mutex& mutex, const std::chrono::time_point<Clock, Duration>& deadline)
        REQUIRES(mutex) {
        std::unique_lock<std::mutex> adopted(mutex.native, std::adopt_lock);
        const bool woken = changed.wait_until(adopted, deadline) == std::cv_status::no_timeout;
        adopted.release();
        return woken;
    }
    void notifyOne() { changed.notify_one(); }
    void notifyAll() { changed.notify_all(); }

  private:
    std::condition_variable changed;
};
