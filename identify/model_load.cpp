#include "identify/model_load.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/log.h"
#include "identify/identify_model_check.h"
#include "training/model_shape.h"

namespace {

// A model that fits the pair table is a few kilobytes even with the longest
// numbers "%f" writes; anything far larger is not a model.
constexpr std::size_t kMaxModelFileBytes = 64 * 1024;

enum class ReadResult { ok, missing, tooLarge };

ReadResult readModelFile(std::string& text) {
    std::FILE* file = std::fopen(kModelFileName, "rb");
    if (file == nullptr) {
        return ReadResult::missing;
    }
    text.resize(kMaxModelFileBytes + 1);
    const std::size_t got = std::fread(text.data(), 1, text.size(), file);
    std::fclose(file);
    if (got > kMaxModelFileBytes) {
        return ReadResult::tooLarge;
    }
    text.resize(got);
    return ReadResult::ok;
}

// The same totals as checkModelFile: line feeds are rows, spaces divide evenly.
bool shapeOf(const std::string& text, ModelShape& shape) {
    std::int32_t rows = 0;
    std::int32_t spaces = 0;
    for (const char byte : text) {
        rows += byte == '\n';
        spaces += byte == ' ';
    }
    if (rows == 0 || spaces % rows != 0) {
        return false;
    }
    shape.rows = rows;
    shape.valuesPerRow = spaces / rows + 1;
    return true;
}

// Formatted float input over the whole text: once a read fails, the reader is
// stuck there, as a stream would be, and every later number is 0.
void readNumbers(const std::string& text, float* numbers, std::size_t count) {
    const char* next = text.c_str();
    bool failed = false;
    for (std::size_t i = 0; i < count; ++i) {
        numbers[i] = 0.0f;
        if (failed) {
            continue;
        }
        char* end = nullptr;
        const float value = std::strtof(next, &end);
        if (end == next) {
            failed = true;
            continue;
        }
        numbers[i] = value;
        next = end;
    }
}

}  // namespace

int gestureCountForRows(std::int32_t rows) {
    return static_cast<int>(std::sqrt(2.0 * rows + 0.5) + 0.5);
}

ModelLoadResult loadModel(std::uint32_t windowChannels, Identifier& identifier,
                          PairTable& pairTable) {
    logLine("Identify init, detect new model");
    std::string text;
    switch (readModelFile(text)) {
        case ReadResult::missing:
            logLine("identifyWorker, W&B.txt cannot be opened");
            return ModelLoadResult::missing;
        case ReadResult::tooLarge:
            logLine("identifyWorker, W&B.txt is larger than %zu bytes", kMaxModelFileBytes);
            return ModelLoadResult::refused;
        case ReadResult::ok:
            break;
    }
    return loadModelText(text, windowChannels, identifier, pairTable);
}

ModelLoadResult loadModelText(const std::string& text, std::uint32_t windowChannels,
                              Identifier& identifier, PairTable& pairTable) {
    ModelShape shape;
    if (!shapeOf(text, shape)) {
        logLine("identifyWorker, W&B.txt has no lines or lines of unequal length");
        return ModelLoadResult::refused;
    }
    const int gestures = gestureCountForRows(shape.rows);
    logLine("identify gesture number:%d", gestures);
    const int channels = shape.valuesPerRow - 1;
    logLine("identify channel number:%d", channels);
    if (!identifyModelFits(shape, windowChannels, "identifyWorker")) {
        return ModelLoadResult::refused;
    }

    const std::size_t perRow = static_cast<std::size_t>(shape.valuesPerRow);
    std::array<float, kMaxPairs*(1 + kMaxChannels)> numbers;
    readNumbers(text, numbers.data(), static_cast<std::size_t>(shape.rows) * perRow);

    identifier.reset(channels, gestures);
    pairTable = PairTable{};
    const std::size_t pairs = static_cast<std::size_t>(gestures * (gestures - 1) / 2);
    for (std::size_t p = 0; p < pairs; ++p) {
        const float* line = numbers.data() + p * perRow;
        PairRow& row = pairTable[p];
        for (int c = 0; c < channels; ++c) {
            row[static_cast<std::size_t>(1 + c)] = line[c];
        }
        row[0] = line[channels];
    }
    return ModelLoadResult::loaded;
}
