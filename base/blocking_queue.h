// A blocking first-in-first-out queue of values, for one consumer thread fed
// by any number of producers.
//
// push may be called from any thread and never waits; pop waits, without a
// time-out, until a value is there. Values come out in the order their pushes
// took the lock, except urgent ones, which go to the front. The lock is held
// only while the deque is read or changed; no value is moved or destroyed
// under it except by clear.
#pragma once

#include <deque>
#include <optional>
#include <utility>

#include "base/mutex.h"

template <typename T>
class BlockingQueue {
  public:
    BlockingQueue() = default;
    BlockingQueue(const BlockingQueue&) = delete;
    BlockingQueue& operator=(const BlockingQueue&) = delete;

    void push(T value) EXCLUDES(lock) {
        {
            MutexLock guard(lock);
            values.push_back(std::move(value));
        }
        nonEmpty.notifyAll();
    }
    // Puts the value in front of every queued one: the next pop returns it.
    void pushUrgent(T value) EXCLUDES(lock) {
        {
            MutexLock guard(lock);
            values.push_front(std::move(value));
        }
        nonEmpty.notifyAll();
    }
    T pop() EXCLUDES(lock) {
        MutexLock guard(lock);
        while (values.empty()) {
            nonEmpty.wait(lock);
        }
        T front = std::move(values.front());
        values.pop_front();
        return front;
    }
    // The front value if there is one.
    std::optional<T> tryPop() EXCLUDES(lock) {
        MutexLock guard(lock);
        if (values.empty()) {
            return std::nullopt;
        }
        T front = std::move(values.front());
        values.pop_front();
        return front;
    }
    // Drops every queued value; they are destroyed after the lock is let go.
    void clear() EXCLUDES(lock) {
        std::deque<T> dropped;
        {
            MutexLock guard(lock);
            dropped.swap(values);
        }
    }
    std::size_t size() const EXCLUDES(lock) {
        MutexLock guard(lock);
        return values.size();
    }

  private:
    mutable Mutex lock;
    CondVar nonEmpty;
    std::deque<T> values GUARDED_BY(lock);
};
