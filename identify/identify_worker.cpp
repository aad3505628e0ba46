#include "identify/identify_worker.h"

#include "core/event_queue.h"
#include "core/log.h"
#include "device/acquisition_state.h"
#include "identify/classifier.h"
#include "identify/gesture_number.h"
#include "identify/identify_model_check.h"
#include "identify/model_load.h"
#include "server/client_registry.h"
#include "training/model_shape.h"

namespace {

constexpr std::uint8_t kIdentifyCode = 0x08;

}  // namespace

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
    report(result);
    return result;
}

void IdentifyWorkerState::report(int result) {
    if (result < 0 || result == lastIdentified.load()) {
        return;
    }
    lastIdentified.store(static_cast<std::uint8_t>(result));
    response.push_back(kIdentifyCode);
    response.push_back(gestureNumberFor(result, gestureMask.load()));
    sendToClients(response.data(), response.size());
    logLine("gesture:%d", result);
    response.clear();
}

void identifyWorker() {
    IdentifyWorkerState state;
    while (EventRecord window = identifyQueue.pop()) {
        state.handleWindow(*window);
    }
}
