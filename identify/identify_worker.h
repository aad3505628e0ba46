// The identification thread: classifies the raw windows that the raw data
// routing cuts while identifying, and tells the clients whenever the recognised
// gesture changes (the two bytes 8 and the gesture number, 0xFF for none).
//
// The thread owns its IdentifyWorkerState. It shares with other threads only
// atomics: newModelFlag (set by the main thread, consumed here),
// identifyWindowLength (written by the main thread before it sets the flag),
// gestureMask (read here) and lastIdentified (written here, reset to 0xFF on a
// disconnection by the SDK callback thread).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "identify/identifier.h"
#include "identify/identify_mode.h"
#include "identify/live_identifier.h"

// What handleWindow returns for a window that was not classified.
inline constexpr int kWindowDropped = -1;

class IdentifyWorkerState {
  public:
    // One window, as popped from identifyQueue:
    // 1. If newModelFlag is set, it is cleared and "W&B.txt" is loaded for
    //    windows of identifyWindowLength / 130 channels, to be classified in
    //    the run's mode (identifyRunMode); in calibrated mode with the
    //    recogniser trained beside it ("recogniser.txt"). A load that fails
    //    (a file missing, a model that does not fit, a recogniser of another
    //    training) drops this window and keeps the model loaded before, if any.
    // 2. With no model ever loaded, or a window whose length is not the
    //    model's channels x 130 (one cut before a restart with other
    //    channels), the window is dropped.
    // 3. Otherwise it is classified, and a result that differs from
    //    lastIdentified is reported to every client and becomes lastIdentified.
    // Returns the classifier's result, or kWindowDropped.
    int handleWindow(std::span<const std::uint8_t> window);

    const Identifier& identifier() const { return live.exactState(); }
    IdentifyMode mode() const { return live.mode(); }

  private:
    // Loads the model for the run that newModelFlag announced; false when it
    // cannot be had (logged), leaving the model loaded before.
    bool loadRunModel();

    IdentifyModel model;
    LiveIdentifier live;
    bool modelLoaded = false;
    bool sizeMismatchLogged = false;
    std::vector<std::uint8_t> response;
};

// The identification thread's body: pops windows from identifyQueue and hands
// each to one IdentifyWorkerState, waiting while the queue is empty.
// Returns when it pops an empty pointer (a null EventRecord), so that the
// process can end the thread cleanly by pushing one.
void identifyWorker();
