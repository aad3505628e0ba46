// What the armband is streaming and for what: shared by command handling (main
// thread), the SDK callback thread (raw data routing, disconnection) and the
// identification thread. Every field is atomic because it is read across threads.
#pragma once

#include <atomic>
#include <cstdint>

#include "protocol/wire.h"

enum DataMode : std::int32_t {
    IDLE_MODE = 0,
    RECORD_MODE = 1,    // raw packets go to the recording buffer
    IDENTIFY_MODE = 2,  // raw packets go to identification
    GESTURE_MODE = 3,   // the armband's gesture events go to clients
};

extern std::atomic<std::int32_t> dataMode;
extern std::atomic<std::uint8_t> channelMask;       // EMG channels chosen by the client
extern std::atomic<std::uint8_t> channelCount;      // set bits of channelMask
extern std::atomic<std::uint8_t> gestureMask;       // gestures chosen by the client
extern std::atomic<std::uint8_t> gestureCount;      // set bits of gestureMask
extern std::atomic<std::uint8_t> recordingGesture;  // gesture being recorded; 0xFF none
extern std::atomic<std::uint8_t> lastIdentified;    // class index last reported; 0xFF none

// Back to the state of a fresh start, as after a disconnection (the timer flag
// is left to the caller, which must stop the timer first).
void resetAcquisitionState();
