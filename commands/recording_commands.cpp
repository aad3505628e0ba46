#include <algorithm>
#include <bit>
#include <thread>

#include "commands/client_commands.h"
#include "commands/command_handlers.h"
#include "core/log.h"
#include "core/recording_timer.h"
#include "core/whole_file.h"
#include "device/acquisition_state.h"
#include "device/hub_events.h"
#include "device/raw_data_routing.h"
#include "device/tessel_handle.h"
#include "recordings/recording_inventory.h"
#include "training/model_generation.h"
#include "training/raw_recording_file.h"

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

void startRecordingWindow(const CommandFrame& frame, Response& response, WindowLimits limits) {
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
    const std::uint8_t gesture = frame.bytes[1];
    const std::uint8_t channels = channelMask.load();
    if (channels == 0) {
        logLine("START_RECORD refused: no channels are configured (05 first)");
        response.push_back(STATUS_FAILED);
        return;
    }
    const std::string rawName = rawFileName(gesture);
    const std::int64_t held = std::max<std::int64_t>(0, fileSize(rawName));
    const std::uint64_t windowBytes =
        static_cast<std::uint64_t>(limits.frames) * static_cast<unsigned>(std::popcount(channels));
    if (windowsLeft(static_cast<std::uint64_t>(held), windowBytes) == 0) {
        logLine(
            "START_RECORD refused: %s holds %lld bytes, one more window of %llu would pass "
            "the %llu bytes that training takes",
            rawName.c_str(), static_cast<long long>(held),
            static_cast<unsigned long long>(windowBytes), kMaxRawFileBytes);
        response.push_back(STATUS_FAILED);
        return;
    }
    // The window's own preview takes over from a preview asked for while idle.
    endPreview();
    // The buffer is started and the mode set before the stream is switched on,
    // so every packet of this window lands in this window's buffer.
    const std::uint32_t window = openRecordingWindow();
    rawBuffer.start(RecordingPlan{window, gesture, channels, limits.frames});
    dataMode.store(RECORD_MODE);
    const std::uint8_t switched = handle->setDataNotifySwitch(tessel::kNotifyEmgRaw);
    if (switched != STATUS_OK) {
        closeRecordingWindow(window);
        rawBuffer.stop();
        std::int32_t recording = RECORD_MODE;
        dataMode.compare_exchange_strong(recording, IDLE_MODE);
        response.push_back(switched);
        return;
    }
    recordingGesture.store(gesture);
    recordingTimer.stop();
    // A timer the worker took off its heap an instant ago is idle a moment
    // later; arming it before then would be refused and the window never end.
    while (recordingTimer.isRunning()) {
        std::this_thread::yield();
    }
    recordTimerArmed.store(1);
    recordingTimer.start(limits.timeLimitMs, [window] { postRecordingWindowEnd(window); });
}

void commandStartRecord(const CommandFrame& frame, Response& response) {
    // The window ends when it holds its frames; an armband that has not sent
    // them in the window's time and kArmbandSilenceMs more has failed it.
    startRecordingWindow(
        frame, response,
        WindowLimits{kRecordWindowFrames, recordingWindowMs.load() + kArmbandSilenceMs});
}

void abandonRecording() {
    abandonRecordingWindow();
    rawBuffer.stop();
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
