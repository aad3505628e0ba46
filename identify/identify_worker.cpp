#include "identify/identify_worker.h"

#include <bit>

#include "core/event_queue.h"
#include "core/log.h"
#include "device/acquisition_state.h"
#include "identify/calibration_file.h"
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
        runMode = identifyRunMode.load(std::memory_order_acquire);
        if (runMode == IdentifyMode::calibrated) {
            logLine("identify mode:%s", identifyModeName(runMode));
            calibratedState.reset(identifierState.channels, identifierState.gestures,
                                  loadWearerCalibration(identifierState.channels));
        }
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
    const int result = runMode == IdentifyMode::calibrated
                           ? classifyCalibratedWindow(window, calibratedState, pairTable)
                           : classifyWindow(window, identifierState, pairTable);
    reportGesture(result, response);
    return result;
}

Calibration loadWearerCalibration(std::uint8_t channels) {
    Calibration calibration;
    if (readCalibrationFile(calibration)) {
        logLine("identifyWorker, calibration: rest %.0f, movement from %.0f to %.0f%s",
                static_cast<double>(calibration.restVariance),
                static_cast<double>(calibration.onThreshold),
                static_cast<double>(calibration.offThreshold),
                calibration.restFound ? "" : " (rest estimated: the recordings held no rest)");
        return calibration;
    }
    logLine("identifyWorker, %s missing or malformed: calibrating on the raw recordings",
            kCalibrationFileName);
    if (channels == std::popcount(channelMask.load()) &&
        calibrateFromRawFiles(gestureMask.load(), channelMask.load(), calibration)) {
        return calibration;
    }
    calibration = fallbackCalibration();
    logLine(
        "identifyWorker, WARNING: no calibration could be made; calibrated identification uses "
        "fixed levels (a movement from %.0f to %.0f)",
        static_cast<double>(calibration.onThreshold),
        static_cast<double>(calibration.offThreshold));
    return calibration;
}

void identifyWorker() {
    IdentifyWorkerState state;
    while (EventRecord window = identifyQueue.pop()) {
        state.handleWindow(*window);
    }
}
