#include "identify/identify_worker.h"

#include <bit>

#include "core/event_queue.h"
#include "core/log.h"
#include "device/acquisition_state.h"
#include "identify/gesture_report.h"
#include "identify/identify_model_check.h"
#include "identify/model_load.h"
#include "identify/recogniser_file.h"
#include "training/model_shape.h"

bool IdentifyWorkerState::loadRunModel() {
    const std::uint32_t windowChannels =
        identifyWindowLength.load(std::memory_order_acquire) / kIdentifyWindowFrames;
    const IdentifyMode mode = identifyRunMode.load(std::memory_order_acquire);
    IdentifyModel loaded;
    Identifier shape;
    std::string text;
    if (loadModel(windowChannels, shape, loaded.pairTable, &text) != ModelLoadResult::loaded) {
        return false;
    }
    loaded.channels = shape.channels;
    loaded.gestures = shape.gestures;
    if (mode == IdentifyMode::calibrated) {
        RecogniserFile recogniser;
        std::string problem;
        if (readRecogniserFile(text, shape.channels, gestureMask.load(), recogniser, problem) !=
            RecogniserRead::read) {
            logLine("identifyWorker, %s: train the model again", problem.c_str());
            return false;
        }
        loaded.recogniser = std::move(recogniser.model);
    }
    logLine("identify mode:%s", identifyModeName(mode));
    model = std::move(loaded);
    live.start(mode, model);
    return true;
}

int IdentifyWorkerState::handleWindow(std::span<const std::uint8_t> window) {
    // Clearing the flag before the load means a model written meanwhile sets
    // it again and is loaded at the next window instead of being missed.
    if (newModelFlag.exchange(0, std::memory_order_acq_rel) != 0) {
        if (!loadRunModel()) {
            return kWindowDropped;
        }
        modelLoaded = true;
        sizeMismatchLogged = false;
    }
    if (!modelLoaded) {
        return kWindowDropped;
    }
    const std::size_t expected = static_cast<std::size_t>(model.channels) * kIdentifyWindowFrames;
    if (window.size() != expected) {
        if (!sizeMismatchLogged) {
            logLine("identifyWorker, window of %zu bytes dropped, the model takes %zu",
                    window.size(), expected);
            sizeMismatchLogged = true;
        }
        return kWindowDropped;
    }
    const int result = live.classify(window);
    reportGesture(result, response);
    return result;
}

void identifyWorker() {
    IdentifyWorkerState state;
    while (EventRecord window = identifyQueue.pop()) {
        state.handleWindow(*window);
    }
}
