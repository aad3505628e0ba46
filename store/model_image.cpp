#include "store/model_image.h"

#include <cstring>

#include "base/atomic_file.h"
#include "base/log.h"
#include "protocol/wire.h"
#include "store/model_file.h"

namespace {

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

}  // namespace

std::uint8_t buildModelImage(std::uint8_t channelMask, std::uint8_t gestureCount,
                             std::uint8_t channelCount, std::vector<std::uint8_t>& image) {
    image.clear();
    ModelFile model;
    if (readModelFile(model) != ModelFileRead::Read) {
        logLine("Wrong W&B file");
        logLine("buildModelImage, W&B.txt refused: %s", model.problem.c_str());
        return STATUS_FAILED;
    }
    const ModelShape& shape = model.shape;
    const std::int32_t pairs = gestureCount * (gestureCount - 1) / 2;
    if (channelCount != shape.valuesPerRow - 1 || shape.rows != pairs) {
        logLine("There is difference between W&B configuration and channle(gesture) configuration");
        return STATUS_FAILED;
    }
    const std::size_t length = weightBlockLength(shape);
    image.assign(MODEL_HEADER_SIZE + length, 0);
    image[0] = channelMask;
    image[1] = gestureCount;
    image[2] = static_cast<std::uint8_t>(length & 0xFF);
    image[3] = static_cast<std::uint8_t>(length >> 8);
    for (std::size_t v = 0; v < model.values.size(); ++v) {
        putFloat(model.values[v], image.data() + MODEL_HEADER_SIZE + v * sizeof(float));
    }
    return STATUS_OK;
}

std::uint8_t saveModelImage(const std::vector<std::uint8_t>& image) {
    if (const FileWrite written =
            writeFileAtomically(kModelImageFileName, image.data(), image.size());
        !written) {
        logLine("Model file operate err");
        logLine("saveModelImage, %s could not be written: %s", kModelImageFileName,
                written.reason.c_str());
        return STATUS_FILE_ERROR;
    }
    return STATUS_OK;
}

std::uint8_t prepareModelImage(std::uint8_t channelMask, std::uint8_t gestureCount,
                               std::uint8_t channelCount, std::vector<std::uint8_t>& image) {
    std::uint8_t status = buildModelImage(channelMask, gestureCount, channelCount, image);
    if (status == STATUS_OK) {
        status = saveModelImage(image);
    }
    if (status != STATUS_OK) {
        image.clear();
    }
    return status;
}
