#include "signal/identify_window_cutter.h"

#include <memory>

void IdentifyWindowCutter::reset(std::uint32_t windowLength, std::uint32_t step) {
    MutexLock guard(lock);
    bytes.clear();
    readOffset = 0;
    length = windowLength;
    stride = step == 0 || step > windowLength / 2 ? windowLength / 2 : step;
    if (length >= 2) {
        bytes.reserve(4 * static_cast<std::size_t>(length));
    }
}

EventRecord IdentifyWindowCutter::cut(std::span<const std::uint8_t> packet) {
    MutexLock guard(lock);
    if (length < 2) {
        return nullptr;
    }
    bytes.insert(bytes.end(), packet.begin(), packet.end());
    const std::size_t windowBytes = length;
    if (bytes.size() - readOffset <= windowBytes) {
        return nullptr;
    }
    const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(readOffset);
    auto window = std::make_shared<std::vector<std::uint8_t>>(
        first, first + static_cast<std::ptrdiff_t>(windowBytes));
    readOffset += stride;

    if (bytes.size() - readOffset > 2 * windowBytes) {
        readOffset = bytes.size() - windowBytes;
    }
    // Spent bytes are moved out once they are the larger part, so the vector
    // stays within a few windows and each byte is moved a bounded number of times.
    if (readOffset >= bytes.size() - readOffset) {
        bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(readOffset));
        readOffset = 0;
    }
    return window;
}

std::size_t IdentifyWindowCutter::heldBytes() const {
    MutexLock guard(lock);
    return bytes.size() - readOffset;
}
