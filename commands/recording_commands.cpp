#include <bit>
#include <thread>

#include "commands/client_commands.h"
#include "commands/command_handlers.h"
#include "core/log.h"
#include "core/recording_timer.h"
#include "device/acquisition_state.h"
#include "device/hub_events.h"
#include "device/raw_data_routing.h"
#include "device/tessel_handle.h"

void commandSetEmgConfig(const CommandFrame& frame, Response& response) {
    response.push_back(SET_EMG_CONFIG);
    if (frame.length != 3) {
        response.push_back(STATUS_FAILED);
        return;
    }
    // A recording or an identification reads frames of the configured size:
    // changing it under them would mix frame sizes in one raw file.
    const std::int32_t mode = dataMode.load();
    if (mode == RECORD_MODE || mode == IDENTIFY_MODE) {
        logLine("SET_EMG_CONFIG refused while %s",
                mode == RECORD_MODE ? "recording" : "identifying");
        response.push_back(STATUS_WRONG_MODE);
        return;
    }
    const std::uint8_t channels = frame.bytes[1];
    const std::uint8_t gestures = frame.bytes[2];
    channelMask.store(channels);
    channelCount.store(static_cast<std::uint8_t>(std::popcount(channels)));
    gestureMask.store(gestures);
    gestureCount.store(static_cast<std::uint8_t>(std::popcount(gestures)));
    handle->setEmgRawDataConfig(channels, channelCount.load());
}

void startRecordingWindow(const CommandFrame& frame, Response& response, std::int64_t windowMs) {
    response.push_back(START_RECORD);
    if (frame.length != 2 || dataMode.load() != IDLE_MODE) {
        response.push_back(STATUS_FAILED);
        return;
    }
    if (!handle->currentDevice()) {
        logLine("START_RECORD, no armband");
        response.push_back(STATUS_NO_DEVICE);
        return;
    }
    // The window's own preview takes over from a preview asked for while idle.
    endPreview();
    // The buffer is emptied and the mode set before the stream is switched on,
    // so every packet of this window lands in this window's buffer.
    rawBuffer.clear();
    dataMode.store(RECORD_MODE);
    const std::uint8_t switched = handle->setDataNotifySwitch(tessel::kNotifyEmgRaw);
    if (switched != STATUS_OK) {
        std::int32_t recording = RECORD_MODE;
        dataMode.compare_exchange_strong(recording, IDLE_MODE);
        response.push_back(switched);
        return;
    }
    recordingGesture.store(frame.bytes[1]);
    const std::uint32_t window = openRecordingWindow();
    recordingTimer.stop();
    // A timer the worker took off its heap an instant ago is idle a moment
    // later; arming it before then would be refused and the window never end.
    while (recordingTimer.isRunning()) {
        std::this_thread::yield();
    }
    recordTimerArmed.store(1);
    recordingTimer.start(windowMs, [window] { postRecordingWindowEnd(window); });
}

void commandStartRecord(const CommandFrame& frame, Response& response) {
    startRecordingWindow(frame, response, recordingWindowMs.load());
}

void abandonRecording() {
    abandonRecordingWindow();
    handle->setDataNotifySwitch(tessel::kNotifyNone);
    if (recordTimerArmed.load() != 0) {
        recordingTimer.stop();
        recordTimerArmed.store(0);
    }
}

void commandStopRecord(const CommandFrame& frame, Response& response) {
    response.push_back(START_RECORD);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    std::int32_t recording = RECORD_MODE;
    if (!dataMode.compare_exchange_strong(recording, IDLE_MODE)) {
        response.push_back(STATUS_FAILED);
        return;
    }
    abandonRecording();
    response.push_back(STATUS_STOPPED);
}
