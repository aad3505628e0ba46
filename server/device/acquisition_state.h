// What the armband is streaming and for what, and the configuration clients
// chose. Owned by the main thread alone: command handling reads and writes
// it, and what other threads learn (a disconnection, a full window, an
// armband's answer) reaches it as events. The SDK callback thread decides
// where each raw packet goes from RawRouting (raw_data_routing.h), which the
// main thread sets up beside these fields.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "base/event_record.h"
#include "protocol/wire.h"
#include "signal/identify_mode.h"

enum DataMode : std::int32_t {
    IDLE_MODE = 0,
    RECORD_MODE = 1,    // raw packets go to the recording buffer
    IDENTIFY_MODE = 2,  // raw packets go to identification
    GESTURE_MODE = 3,   // the armband's gesture events go to clients
};

// The recording window under way. Identities count up from 1 and are never
// reused while the server runs; 0 is none.
struct RecordingWindowState {
    std::uint32_t open = 0;  // the window open now; 0 none
    std::uint32_t last = 0;  // the last identity given
    Origin owner;            // the command that started it
    // Set while the window's timer is armed; shared with the timer's callback
    // (timer worker), which reads and clears it when it fires.
    std::shared_ptr<std::atomic<std::uint8_t>> timerArmed;
};

struct AcquisitionState {
    std::int32_t dataMode = IDLE_MODE;
    std::uint8_t channelMask = 0;                // EMG channels chosen by the client
    std::uint8_t channelCount = 0;               // set bits of channelMask
    std::uint8_t gestureMask = 0;                // gestures chosen by the client
    std::uint8_t gestureCount = 0;               // set bits of gestureMask
    std::uint8_t recordingGesture = kNoGesture;  // gesture being recorded; 0xFF none
    RecordingWindowState window;
    // The identification run under way: its window length and mode, what the
    // identification thread was told to load.
    std::uint32_t identifyWindowLength = 0;
    IdentifyMode identifyRunMode = IdentifyMode::exact;
    // Counts every start and stop of a stream: an armband's answer to a
    // switch asked for by a start that has been stopped since finds it moved on.
    std::uint64_t streamGeneration = 0;
    bool previewStarting = false;      // the raw stream is being switched on for a preview
    std::uint64_t previewAttempt = 0;  // counts the preview's starts
    Origin previewOwner;

    // Stores a configuration: the masks and their counts together.
    void configure(std::uint8_t channels, std::uint8_t gestures);
    // A new window's identity, which becomes the open window.
    std::uint32_t openWindow(const Origin& owner);
    // Closes `id` if it is the open window; true when it was.
    bool closeWindow(std::uint32_t id);
    // Back to the state of a fresh start, as after a disconnection; the
    // window is left to the caller, which answers for it.
    void reset();
};
