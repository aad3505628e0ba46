#include "identify/identify_worker.h"

#include "core/event_queue.h"
#include "core/log.h"
#include "identify/classifier.h"
#include "identify/gesture_report.h"
#include "identify/identify_model_check.h"
#include "identify/model_load.h"
#include "training/model_shape.h"

int IdentifyWorkerState::handleWindow(std::span<const std::uint8_t> window) {
    // Clearing the flag before the load means a model written meanwhile sets
    // it again and is loaded at the next window instead of being missed.
    if (newModelFlag.exchange(0, std::memory_order_acq_rel) != 0) {
        const std::uint32_t windowChannels =
            identifyWindowLength.load(std::memory_order_acquire) / kIdentifyWindowFrames;
        if (loadModel(windowChannels, identifierState, pairTable) != ModelLoadResult::loaded) {
            return kWindowDropped;
        }
        modelLoaded = true;
        sizeMismatchLogged = false;
    }
    if (!modelLoaded) {
        return kWindowDropped;
    }
    const std::size_t expected =
        static_cast<std::size_t>(identifierState.channels) * kIdentifyWindowFrames;
    if (window.size() != expected) {
        if (!sizeMismatchLogged) {
            logLine("identifyWorker, window of %zu bytes dropped, the model takes %zu",
                    window.size(), expected);
            sizeMismatchLogged = true;
        }
        return kWindowDropped;
    }
    const int result = classifyWindow(window, identifierState, pairTable);
    reportGesture(result, response);
    return result;
}

void identifyWorker() {
    IdentifyWorkerState state;
    while (EventRecord window = identifyQueue.pop()) {
        state.handleWindow(*window);
    }
}
