#include "server/identify/identify_worker.h"

#include "base/log.h"
#include "server/identify/gesture_report.h"
#include "store/identify_model_check.h"
#include "store/model_load.h"
#include "store/recogniser_file.h"

bool IdentifyWorkerState::loadRunModel(const IdentifyRun& wanted) {
    IdentifyModel loaded;
    Identifier shape;
    std::string text;
    if (loadModel(wanted.windowChannels, shape, loaded.pairTable, &text) !=
        ModelLoadResult::loaded) {
        return false;
    }
    loaded.channels = shape.channels;
    loaded.gestures = shape.gestures;
    if (wanted.mode == IdentifyMode::calibrated) {
        RecogniserFile recogniser;
        std::string problem;
        if (readRecogniserFile(text, shape.channels, wanted.gestureMask, recogniser, problem) !=
            RecogniserRead::read) {
            logLine("identifyWorker, %s: train the model again", problem.c_str());
            return false;
        }
        loaded.recogniser = std::move(recogniser.model);
    }
    logLine("identify mode:%s", identifyModeName(wanted.mode));
    model = std::move(loaded);
    run = wanted;
    live.start(wanted.mode, model);
    return true;
}

int IdentifyWorkerState::handleWindow(std::span<const std::uint8_t> window) {
    if (pendingRun) {
        const IdentifyRun wanted = *pendingRun;
        pendingRun.reset();
        if (!loadRunModel(wanted)) {
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
    reportGesture(result, lastIdentified, run.gestureMask, clients, response);
    return result;
}

IdentifyWorker::IdentifyWorker(ClientRegistry& clients)
    : state(clients), thread([this] { run(); }) {}

IdentifyWorker::~IdentifyWorker() {
    stop();
}

void IdentifyWorker::push(EventRecord window) {
    identifyQueue.push(Item{std::move(window), std::nullopt, false, false});
}

void IdentifyWorker::loadModel(const IdentifyRun& run) {
    identifyQueue.push(Item{nullptr, run, false, false});
}

void IdentifyWorker::resetLastIdentified() {
    identifyQueue.push(Item{nullptr, std::nullopt, true, false});
}

void IdentifyWorker::stop() {
    if (!thread.joinable()) {
        return;
    }
    identifyQueue.pushUrgent(Item{nullptr, std::nullopt, false, true});
    thread.join();
    identifyQueue.clear();
}

void IdentifyWorker::run() {
    for (;;) {
        const Item item = identifyQueue.pop();
        if (item.stop) {
            return;
        }
        if (item.load) {
            state.requestLoad(*item.load);
        }
        if (item.resetLast) {
            state.resetLastIdentified();
        }
        if (item.window) {
            state.handleWindow(*item.window);
        }
    }
}
