// Everything the server's handlers share: the event queue, the clients, the
// timers, the armband, where raw packets go, identification, the background
// worker and what the main thread keeps between events. One instance per
// server, made by the Server (server/server.h) or by a test; handlers are
// handed it by reference.
//
// Threads: the fields below say which thread may touch them. "Main thread"
// fields are touched only by the thread that handles events (the main loop, or
// a test playing it); other threads reach them by queueing an event or a task
// on eventQueue. The objects with their own locks (queues, registry, timers,
// watchdog, routing, handle) may be used from any thread as their headers say.
//
// Destruction stops the background worker and the identification thread;
// the SDK must have been told to let go of `handle` (unregisterListener,
// deinit) before, so that no callback runs into a destroyed object.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <vector>

#include "base/background_worker.h"
#include "base/event_queue.h"
#include "base/request_watchdog.h"
#include "base/timer.h"
#include "pipeline/evaluation_cache.h"
#include "server/device/acquisition_state.h"
#include "server/device/raw_data_routing.h"
#include "server/device/recording_timer.h"
#include "server/device/tessel_handle.h"
#include "server/identify/identify_worker.h"
#include "server/net/client_registry.h"
#include "server/state/inventory_cache.h"
#include "signal/identify_mode.h"
#include "tessel/tessel.h"

class ServerContext {
  public:
    // The handle is made over `hub` (not registered with it: the caller does
    // that). The recording window is given up `recordingWindowMs` plus
    // kArmbandSilenceMs after it started, when the armband has not filled it.
    explicit ServerContext(std::shared_ptr<tessel::Hub> hub,
                           std::int64_t recordingWindowMs = RECORD_WINDOW_MS);
    ~ServerContext();
    ServerContext(const ServerContext&) = delete;
    ServerContext& operator=(const ServerContext&) = delete;

    // Every event for the main thread; any thread pushes, the main thread pops.
    EventQueue eventQueue;
    // The connected clients; the WebSocket server thread adds and removes them.
    ClientRegistry clientRegistry;
    // The timer worker and the recording window's timer (main thread arms it).
    TimerScheduler timerScheduler;
    Timer recordingTimer{timerScheduler};
    // Bounded waits for the armband's answers; any thread.
    RequestWatchdog requestWatchdog{timerScheduler};
    // The identification thread and its queue (identifyQueue).
    IdentifyWorker identify{clientRegistry};
    // Where raw packets go: the recording window's bytes (rawBuffer), the
    // identification window cutter (identifyAccumulator), the preview.
    RawRouting routing{eventQueue, clientRegistry,
                       [this](EventRecord window) { identify.push(std::move(window)); }};
    // The SDK's hub and the one device handler; set at construction.
    const std::shared_ptr<tessel::Hub> hub;
    const std::shared_ptr<TesselHandle> handle;

    // Main thread: the acquisition state (dataMode, channelMask, channelCount, ...).
    AcquisitionState acquisition;
    // Main thread: how live identification decides, for the next run.
    IdentifyMode identifyMode = IdentifyMode::exact;
    // Main thread: a recording window is given up this long after its start
    // when the armband has not filled it.
    std::int64_t recordingWindowLimitMs;

    // Main thread: whom the final answers of operations under way are for.
    Origin scanOwner;
    Origin connectOwner;

    // Main thread: the armband's versions, asked for at connection and by
    // GET_VERSION; the commands waiting for the answer under way.
    struct Versions {
        bool known = false;  // asked of the armband since it connected
        VersionMap map{{"HW", L""}, {"FW", L""}};
        bool asking = false;
        std::vector<Origin> waiting;
        std::vector<std::function<void()>> then;  // run once they are in (the status)
    } versions;

    // Main thread: the training under way, if any.
    struct Training {
        bool running = false;
        Origin owner;
        std::stop_source stop;
    } training;

    // Main thread: the recordings' analyses for the inventory.
    InventoryCache inventory;
    // Background worker only: the last evaluation.
    EvaluationCache evaluation;

    // The long work; declared last so that it stops first.
    BackgroundWorker worker;

    // Main thread: whether anything needs a stream of the armband on (a mode
    // that uses one, or a preview open or being opened).
    bool streamWanted() const;

    // Runs work(stop) on the background worker, then done(result) on the main
    // thread. `source` stops this work alone when asked; the worker's stop at
    // exit stops it too (done then runs only if the main loop still does).
    template <typename Work, typename Done>
    void inBackground(Work work, Done done, std::stop_source source = std::stop_source()) {
        worker.post(
            [this, work = std::move(work), done = std::move(done)](std::stop_token stop) mutable {
                using Result = decltype(work(stop));
                auto result = std::make_shared<Result>(work(stop));
                // `done` moves on: what it holds is let go on the main thread.
                eventQueue.post(
                    [done = std::move(done), result]() mutable { done(std::move(*result)); });
            },
            std::move(source));
    }

    // Main thread: has the background worker analyse the gesture's recording
    // for the inventory, its frames read with `channelMask` when its window
    // log does not name them; `then` runs on the main thread afterwards.
    void refreshInventory(int gesture, std::uint8_t channelMask,
                          std::function<void()> then = nullptr);
};

// The origin of nobody in particular: an answer every client gets alike.
inline constexpr Origin kEveryone{};
