#include "device/acquisition_state.h"

std::atomic<std::int32_t> dataMode{IDLE_MODE};
std::atomic<std::uint8_t> channelMask{0};
std::atomic<std::uint8_t> channelCount{0};
std::atomic<std::uint8_t> gestureMask{0};
std::atomic<std::uint8_t> gestureCount{0};
std::atomic<std::uint8_t> recordingGesture{kNoGesture};
std::atomic<std::uint8_t> lastIdentified{kNoGesture};

void resetAcquisitionState() {
    dataMode.store(IDLE_MODE);
    channelMask.store(0);
    channelCount.store(0);
    gestureMask.store(0);
    gestureCount.store(0);
    recordingGesture.store(kNoGesture);
    lastIdentified.store(kNoGesture);
}
