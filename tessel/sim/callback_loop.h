// The SDK callback thread: runs queued tasks one at a time, each at or after
// its due time, in due-time order (tasks due at the same time in the order
// they were posted).
//
// post may be called from any thread, including from inside a task; a task
// never runs on the poster's thread and no lock of the loop is held while it
// runs. Tasks still queued when the loop stops are dropped unrun.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <thread>
#include <utility>

#include "base/mutex.h"

namespace tessel::sim {

using Clock = std::chrono::steady_clock;

class CallbackLoop {
  public:
    using Task = std::function<void()>;

    CallbackLoop();
    // Stops the loop.
    ~CallbackLoop();
    CallbackLoop(const CallbackLoop&) = delete;
    CallbackLoop& operator=(const CallbackLoop&) = delete;

    // Starts the thread; does nothing while it runs.
    void start();
    // Stops the thread and joins it. Called from a task, it only asks the loop
    // to end after that task; the thread is joined by the next start or stop
    // from another thread, or detached by the destructor.
    void stop();

    // False, and the task is dropped, when the loop is not running.
    bool post(Clock::time_point due, Task task);
    bool running() const;
    bool onLoopThread() const;
    // Tasks run since the loop was made.
    std::uint64_t dispatched() const { return queue->dispatched.load(); }

  private:
    // Shared with the thread, so that a thread detached by the destructor never
    // touches freed memory.
    struct Queue {
        Mutex lock;
        CondVar changed;
        std::map<std::pair<Clock::time_point, std::uint64_t>, Task> tasks GUARDED_BY(lock);
        std::uint64_t nextSequence GUARDED_BY(lock) = 0;
        bool stopping GUARDED_BY(lock) = false;
        std::atomic<std::uint64_t> dispatched{0};
    };

    static void runLoop(const std::shared_ptr<Queue>& queue);

    std::shared_ptr<Queue> queue;
    Mutex threadLock;  // serialises start and stop
    std::thread thread GUARDED_BY(threadLock);
    std::atomic<std::thread::id> loopThreadId{};  // written under threadLock
};

}  // namespace tessel::sim
