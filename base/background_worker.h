// The one thread that does the server's long work (training, the evaluation,
// the recordings' analysis, saving and deleting recordings, exports), so that
// the main loop never waits for it.
//
// Jobs run one at a time in the order they were posted, each handed its inputs
// by value; a job posts its result back to the main thread as a task of the
// event queue. A job's long loops check the stop token it is given: it is
// stopped when the worker stops (at exit) or when its own stop source is asked
// (a training that is stopped). stop() stops the job under way, drops the
// queued ones and joins the thread.
//
// Any thread may post; the worker thread alone runs jobs.
#pragma once

#include <functional>
#include <stop_token>
#include <thread>

#include "base/blocking_queue.h"
#include "base/mutex.h"

class BackgroundWorker {
  public:
    using Job = std::function<void(std::stop_token stop)>;

    BackgroundWorker();
    ~BackgroundWorker();
    BackgroundWorker(const BackgroundWorker&) = delete;
    BackgroundWorker& operator=(const BackgroundWorker&) = delete;

    // Queues the job. `source`, when given, stops this job alone when asked.
    void post(Job job, std::stop_source source = std::stop_source());
    // Jobs queued or under way.
    std::size_t pending() const;
    // Stops the job under way, drops the queued ones and joins the thread.
    // Idempotent; post does nothing afterwards.
    void stop();

  private:
    struct Queued {
        Job job;  // empty: the thread ends
        std::stop_source source;
    };
    void run();

    BlockingQueue<Queued> jobs;
    mutable Mutex lock;
    std::stop_source current GUARDED_BY(lock);  // the job under way's
    bool stopped GUARDED_BY(lock) = false;
    std::size_t underWay GUARDED_BY(lock) = 0;
    std::thread thread;
};
