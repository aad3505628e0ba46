#include "callback_loop.h"

#include <vector>

namespace tessel::sim {

CallbackLoop::CallbackLoop() : queue(std::make_shared<Queue>()) {}

CallbackLoop::~CallbackLoop() {
    stop();
    MutexLock guard(threadLock);
    if (thread.joinable()) {
        thread.detach();  // only when the last stop came from the loop's own thread
    }
}

void CallbackLoop::start() {
    MutexLock guard(threadLock);
    if (thread.joinable()) {
        MutexLock lock(queue->lock);
        if (!queue->stopping) {
            return;
        }
        lock.unlock();
        if (thread.get_id() == std::this_thread::get_id()) {
            return;  // a task cannot restart the loop it is running on
        }
        thread.join();
    }
    {
        MutexLock lock(queue->lock);
        queue->stopping = false;
    }
    thread = std::thread(runLoop, queue);
    loopThreadId.store(thread.get_id());
}

void CallbackLoop::stop() {
    MutexLock guard(threadLock);
    std::map<std::pair<Clock::time_point, std::uint64_t>, Task> dropped;
    {
        MutexLock lock(queue->lock);
        queue->stopping = true;
        dropped.swap(queue->tasks);
    }
    queue->changed.notifyAll();
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) {
        thread.join();
        loopThreadId.store(std::thread::id{});
    }
    // The dropped tasks are destroyed here, with no lock of the queue held.
}

bool CallbackLoop::post(Clock::time_point due, Task task) {
    {
        MutexLock lock(queue->lock);
        if (queue->stopping || loopThreadId.load() == std::thread::id{}) {
            return false;
        }
        queue->tasks.emplace(std::make_pair(due, queue->nextSequence++), std::move(task));
    }
    queue->changed.notifyOne();
    return true;
}

bool CallbackLoop::running() const {
    MutexLock lock(queue->lock);
    return !queue->stopping && loopThreadId.load() != std::thread::id{};
}

bool CallbackLoop::onLoopThread() const {
    return loopThreadId.load() == std::this_thread::get_id();
}

void CallbackLoop::runLoop(const std::shared_ptr<Queue>& queue) {
    MutexLock lock(queue->lock);
    while (!queue->stopping) {
        if (queue->tasks.empty()) {
            queue->changed.wait(queue->lock);
            continue;
        }
        auto first = queue->tasks.begin();
        const Clock::time_point due = first->first.first;
        if (due > Clock::now()) {
            queue->changed.waitUntil(queue->lock, due);
            continue;
        }
        Task task = std::move(first->second);
        queue->tasks.erase(first);
        lock.unlock();
        task();
        task = nullptr;  // whatever the task held is released before the lock is taken
        queue->dispatched.fetch_add(1);
        lock.lock();
    }
}

}  // namespace tessel::sim
