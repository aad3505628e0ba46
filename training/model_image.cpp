#include "training/model_image.h"

#include <cstdio>
#include <cstring>

#include "core/log.h"
#include "training/atomic_file.h"
#include "training/model_shape.h"

namespace {

constexpr std::uint8_t kStatusOk = 0x00;
constexpr std::uint8_t kStatusFailed = 0xFF;
constexpr std::uint8_t kStatusFileError = 0xEE;
constexpr std::int32_t kMostRows = 28;         // 8 gestures
constexpr std::int32_t kMostValuesPerRow = 9;  // 8 channels and the bias

// rows x valuesPerRow x 4 bytes, rounded up to a multiple of 16.
std::size_t weightBlockLength(const ModelShape& shape) {
    const std::size_t bytes = static_cast<std::size_t>(shape.rows) *
                              static_cast<std::size_t>(shape.valuesPerRow) * sizeof(float);
    return (bytes + 15) / 16 * 16;
}

void putFloat(float value, std::uint8_t* to) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int b = 0; b < 4; ++b) {
        to[b] = static_cast<std::uint8_t>(bits >> (8 * b));
    }
}

enum class ReadResult { Read, CannotOpen, NotANumber };

// Reads count numbers of "W&B.txt", each straight to a float as "%f" does,
// into consecutive 4-byte slots from to.
ReadResult readModelValues(std::size_t count, std::uint8_t* to) {
    std::FILE* file = std::fopen(kModelFileName, "r");
    if (file == nullptr) {
        return ReadResult::CannotOpen;
    }
    ReadResult result = ReadResult::Read;
    for (std::size_t v = 0; v < count; ++v) {
        float value = 0.0f;
        if (std::fscanf(file, "%f", &value) != 1) {
            result = ReadResult::NotANumber;
            break;
        }
        putFloat(value, to + v * sizeof(float));
    }
    std::fclose(file);
    return result;
}

}  // namespace

std::uint8_t prepareModelImage(std::uint8_t channelMask, std::uint8_t gestureCount,
                               std::uint8_t channelCount, std::vector<std::uint8_t>& image) {
    image.clear();
    ModelShape shape;
    if (!checkModelFile(shape)) {
        logLine("Wrong W&B file");
        return kStatusFailed;
    }
    const std::int32_t pairs = gestureCount * (gestureCount - 1) / 2;
    if (channelCount != shape.valuesPerRow - 1 || shape.rows != pairs) {
        logLine("There is difference between W&B configuration and channle(gesture) configuration");
        return kStatusFailed;
    }
    if (shape.rows > kMostRows || shape.valuesPerRow > kMostValuesPerRow) {
        logLine("prepareModelImage, %d lines of %d values do not fit the model image", shape.rows,
                shape.valuesPerRow);
        return kStatusFailed;
    }

    const std::size_t length = weightBlockLength(shape);
    std::uint8_t buffer[MODEL_IMAGE_CAPACITY] = {};
    buffer[0] = channelMask;
    buffer[1] = gestureCount;
    buffer[2] = static_cast<std::uint8_t>(length & 0xFF);
    buffer[3] = static_cast<std::uint8_t>(length >> 8);
    const std::size_t values =
        static_cast<std::size_t>(shape.rows) * static_cast<std::size_t>(shape.valuesPerRow);
    switch (readModelValues(values, buffer + MODEL_HEADER_SIZE)) {
        case ReadResult::CannotOpen:
            logLine("Model file operate err");
            return kStatusFileError;
        case ReadResult::NotANumber:
            logLine("Wrong W&B file");
            return kStatusFailed;
        case ReadResult::Read:
            break;
    }
    const std::size_t size = MODEL_HEADER_SIZE + length;
    if (!writeFileAtomically(kModelImageFileName, buffer, size)) {
        logLine("Model file operate err");
        return kStatusFileError;
    }
    image.assign(buffer, buffer + size);
    return kStatusOk;
}
