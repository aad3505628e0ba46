#include "server/device/recording_timer.h"

std::uint32_t recordingWindowIn(const std::uint8_t* bytes, std::size_t length) {
    if (length < 4) {
        return 0;
    }
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

EventRecord recordingWindowRecord(std::uint8_t type, std::uint8_t code, std::uint32_t window) {
    return makeEventRecord(
        type, {code, static_cast<std::uint8_t>(window), static_cast<std::uint8_t>(window >> 8),
               static_cast<std::uint8_t>(window >> 16), static_cast<std::uint8_t>(window >> 24)});
}
