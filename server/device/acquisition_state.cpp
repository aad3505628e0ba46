#include "server/device/acquisition_state.h"

#include <bit>

void AcquisitionState::configure(std::uint8_t channels, std::uint8_t gestures) {
    channelMask = channels;
    channelCount = static_cast<std::uint8_t>(std::popcount(channels));
    gestureMask = gestures;
    gestureCount = static_cast<std::uint8_t>(std::popcount(gestures));
}

std::uint32_t AcquisitionState::openWindow(const Origin& owner) {
    window.last = window.last + 1 == 0 ? 1 : window.last + 1;
    window.open = window.last;
    window.owner = owner;
    return window.open;
}

bool AcquisitionState::closeWindow(std::uint32_t id) {
    if (id == 0 || window.open != id) {
        return false;
    }
    window.open = 0;
    return true;
}

void AcquisitionState::reset() {
    dataMode = IDLE_MODE;
    configure(0, 0);
    recordingGesture = kNoGesture;
    identifyWindowLength = 0;
    previewStarting = false;
    ++streamGeneration;
}
