#include "base/background_worker.h"

BackgroundWorker::BackgroundWorker() : thread([this] { run(); }) {}

BackgroundWorker::~BackgroundWorker() {
    stop();
}

void BackgroundWorker::post(Job job, std::stop_source source) {
    {
        MutexLock guard(lock);
        if (stopped) {
            return;
        }
        ++underWay;
    }
    jobs.push(Queued{std::move(job), std::move(source)});
}

std::size_t BackgroundWorker::pending() const {
    MutexLock guard(lock);
    return underWay;
}

void BackgroundWorker::stop() {
    {
        MutexLock guard(lock);
        if (stopped) {
            return;
        }
        stopped = true;
        current.request_stop();
    }
    jobs.clear();
    jobs.pushUrgent(Queued{nullptr, std::stop_source()});
    thread.join();
    jobs.clear();
}

void BackgroundWorker::run() {
    for (;;) {
        Queued queued = jobs.pop();
        if (!queued.job) {
            return;
        }
        {
            MutexLock guard(lock);
            if (stopped) {
                return;
            }
            current = queued.source;
        }
        queued.job(queued.source.get_token());
        queued = Queued{};
        MutexLock guard(lock);
        --underWay;
    }
}
