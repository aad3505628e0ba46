#include "signal/live_identifier.h"

#include "signal/classifier.h"

void LiveIdentifier::start(IdentifyMode mode, const IdentifyModel& model) {
    runMode = mode;
    loaded = &model;
    exact.reset(model.channels, model.gestures);
    recogniser.start(&model.recogniser);
}

int LiveIdentifier::classify(std::span<const std::uint8_t> window) {
    if (loaded == nullptr) {
        return 0;
    }
    if (runMode == IdentifyMode::calibrated) {
        return recogniser.classify(window);
    }
    return classifyWindow(window, exact, loaded->pairTable);
}
