#include "model_image.h"

#include <bit>

namespace tessel::sim {

bool isValidModelImage(const std::uint8_t* data, std::size_t length) {
    if (data == nullptr || length < kModelHeaderBytes) {
        return false;
    }
    const unsigned channels = static_cast<unsigned>(std::popcount(data[0]));
    const unsigned gestures = data[1];
    const std::size_t dataLength =
        static_cast<std::size_t>(data[2]) | (static_cast<std::size_t>(data[3]) << 8);
    if (channels == 0 || gestures < 2 || gestures > 8) {
        return false;
    }
    if (dataLength % 16 != 0 || dataLength > kLargestModelData ||
        length != kModelHeaderBytes + dataLength) {
        return false;
    }
    for (std::size_t i = 4; i < kModelHeaderBytes; ++i) {
        if (data[i] != 0) {
            return false;
        }
    }
    const std::size_t rows = gestures * (gestures - 1) / 2;
    const std::size_t weightBytes = rows * (channels + 1) * 4;
    return dataLength == (weightBytes + 15) / 16 * 16;
}

}  // namespace tessel::sim
