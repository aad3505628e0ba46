#include "identify/gesture_number.h"

#include "device/acquisition_state.h"

std::uint8_t gestureNumberFor(int classPosition, std::uint8_t gestureMask) {
    if (classPosition > 8) {
        return kNoGesture;
    }
    int count = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if ((gestureMask >> bit) & 1u) {
            ++count;
            if (count == classPosition) {
                return static_cast<std::uint8_t>(bit + 1);
            }
        }
    }
    return kNoGesture;
}
