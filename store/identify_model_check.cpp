#include "store/identify_model_check.h"

#include <bit>

#include "base/log.h"
#include "signal/identifier.h"
#include "store/model_file.h"
#include "store/model_gestures.h"
#include "store/recogniser_file.h"

std::uint32_t identifyWindowStepFor(std::uint32_t windowLength, IdentifyMode mode) {
    if (mode != IdentifyMode::calibrated) {
        return 0;
    }
    return windowLength / kIdentifyWindowFrames * kCalibratedStepFrames;
}

std::uint32_t identifyWindowLengthFor(const ModelShape& shape) {
    if (shape.valuesPerRow < 2) {
        return 0;
    }
    return static_cast<std::uint32_t>(shape.valuesPerRow - 1) * kIdentifyWindowFrames;
}

bool identifyModelFits(const ModelShape& shape, std::uint32_t windowChannels, const char* caller) {
    if (shape.rows < 1 || shape.rows > kMaxPairs) {
        logLine("%s, W&B.txt has %d lines, at most %d fit", caller, shape.rows, kMaxPairs);
        return false;
    }
    if (shape.valuesPerRow > 1 + kMaxChannels) {
        logLine("%s, W&B.txt has %d numbers per line, at most %d fit", caller, shape.valuesPerRow,
                1 + kMaxChannels);
        return false;
    }
    const std::int32_t modelChannels = shape.valuesPerRow - 1;
    if (modelChannels < 1 || static_cast<std::uint32_t>(modelChannels) != windowChannels) {
        logLine("%s, W&B.txt has %d channels, channel count is %u", caller, modelChannels,
                windowChannels);
        return false;
    }
    return true;
}

bool checkIdentifyModel(ModelShape& shape, std::uint8_t channelCount) {
    ModelShape found;
    std::string problem;
    if (!checkModelFile(found, problem)) {
        logLine("checkIdentifyModel, W&B.txt missing or malformed: %s", problem.c_str());
        return false;
    }
    if (!identifyModelFits(found, channelCount, "checkIdentifyModel")) {
        return false;
    }
    shape = found;
    return true;
}

bool modelTrainedOnGestures(const ModelShape& shape, std::uint8_t gestureMask) {
    const std::optional<std::uint8_t> trained = loadModelGestures();
    if (!trained) {
        logLine("checkIdentifyModel, %s is missing: the model's gestures are unknown",
                kModelGesturesFileName);
        return false;
    }
    if (*trained != gestureMask) {
        logLine(
            "checkIdentifyModel, the model was trained on gestures 0x%02x, the configuration "
            "names 0x%02x",
            static_cast<unsigned>(*trained), static_cast<unsigned>(gestureMask));
        return false;
    }
    const int gestures = std::popcount(gestureMask);
    if (shape.rows != gestures * (gestures - 1) / 2) {
        logLine("checkIdentifyModel, W&B.txt has %d lines, %d gestures make %d pairs", shape.rows,
                gestures, gestures * (gestures - 1) / 2);
        return false;
    }
    return true;
}

bool recogniserFitsModel(std::uint8_t channelCount, std::uint8_t gestureMask) {
    ModelFile model;
    std::string text;
    RecogniserFile recogniser;
    std::string problem;
    if (readModelFile(model, &text) != ModelFileRead::Read ||
        readRecogniserFile(text, channelCount, gestureMask, recogniser, problem) !=
            RecogniserRead::read) {
        logLine(
            "checkIdentifyModel, calibrated identification needs the recogniser trained with "
            "W&B.txt: %s; train the model again",
            problem.empty() ? "W&B.txt cannot be read" : problem.c_str());
        return false;
    }
    return true;
}
