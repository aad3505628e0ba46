// The identification thread: classifies the raw windows that the raw data
// routing cuts while identifying, and tells the clients whenever the recognised
// gesture changes (the two bytes 8 and the gesture number, 0xFF for none).
//
// IdentifyWorker owns the thread, its queue (identifyQueue) and the state the
// thread works with; other threads only put items on the queue: windows (the
// SDK callback thread), and the main thread's messages (load the model of a
// run, forget the last report, stop). Items are handled in the order queued.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "base/blocking_queue.h"
#include "base/event_record.h"
#include "signal/identifier.h"
#include "signal/identify_mode.h"
#include "signal/live_identifier.h"

class ClientRegistry;

// What windows to expect and how to classify them: the run's model is loaded
// for windows of windowChannels channels (length / 130), in `mode`, its
// classes named by the set bits of gestureMask.
struct IdentifyRun {
    std::uint32_t windowChannels = 0;
    IdentifyMode mode = IdentifyMode::exact;
    std::uint8_t gestureMask = 0;
};

// What handleWindow returns for a window that was not classified.
inline constexpr int kWindowDropped = -1;

inline constexpr std::uint8_t kNoReport = 0xFF;

// The identification thread's own state. Owned by one thread.
class IdentifyWorkerState {
  public:
    explicit IdentifyWorkerState(ClientRegistry& clients) : clients(clients) {}

    // The model of `run` is loaded before the next window (as after a start
    // of identification, or a training that ended during one).
    void requestLoad(const IdentifyRun& run) { pendingRun = run; }
    // The next result is reported whatever it is.
    void resetLastIdentified() { lastIdentified = kNoReport; }

    // One window:
    // 1. If a load was requested, "W&B.txt" is loaded for the run; in
    //    calibrated mode with the recogniser trained beside it
    //    ("recogniser.txt"). A load that fails (a file missing, a model that
    //    does not fit, a recogniser of another training) drops this window and
    //    keeps the model loaded before, if any.
    // 2. With no model ever loaded, or a window whose length is not the
    //    model's channels x 130 (one cut before a restart with other
    //    channels), the window is dropped.
    // 3. Otherwise it is classified, and a result that differs from
    //    lastIdentified is reported to every client and becomes lastIdentified.
    // Returns the classifier's result, or kWindowDropped.
    int handleWindow(std::span<const std::uint8_t> window);

    const Identifier& identifier() const { return live.exactState(); }
    IdentifyMode mode() const { return live.mode(); }
    // The class position last reported; kNoReport none.
    std::uint8_t lastReport() const { return lastIdentified; }

  private:
    bool loadRunModel(const IdentifyRun& run);

    ClientRegistry& clients;
    std::optional<IdentifyRun> pendingRun;
    IdentifyRun run;
    IdentifyModel model;
    LiveIdentifier live;
    bool modelLoaded = false;
    bool sizeMismatchLogged = false;
    std::uint8_t lastIdentified = kNoReport;  // class index last reported
    std::vector<std::uint8_t> response;
};

class IdentifyWorker {
  public:
    // Starts the thread, which reports to `clients`.
    explicit IdentifyWorker(ClientRegistry& clients);
    ~IdentifyWorker();
    IdentifyWorker(const IdentifyWorker&) = delete;
    IdentifyWorker& operator=(const IdentifyWorker&) = delete;

    // SDK callback thread: a window to classify.
    void push(EventRecord window);
    // Main thread: the next window loads the model of `run` first.
    void loadModel(const IdentifyRun& run);
    // Main thread: the next result is reported whatever it is (after a disconnection).
    void resetLastIdentified();
    // Ends the thread ahead of the queued windows and joins it. Idempotent.
    void stop();
    // Items queued.
    std::size_t queued() const { return identifyQueue.size(); }

  private:
    struct Item {
        EventRecord window;
        std::optional<IdentifyRun> load;
        bool resetLast = false;
        bool stop = false;
    };
    void run();

    BlockingQueue<Item> identifyQueue;
    IdentifyWorkerState state;  // the thread's
    std::thread thread;
};
