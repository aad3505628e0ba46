#include <algorithm>
#include <bit>

#include "base/log.h"
#include "base/whole_file.h"
#include "pipeline/model_generation.h"
#include "pipeline/recording_inventory.h"
#include "server/commands/client_commands.h"
#include "server/commands/command_handlers.h"
#include "server/commands/stream_switching.h"
#include "server/device/hub_events.h"
#include "server/state/server_context.h"
#include "store/raw_recording_file.h"

namespace {

// The window's stream is on: its time starts.
void armWindowTimer(ServerContext& server, std::uint32_t window, std::int64_t limitMs) {
    RecordingWindowState& state = server.acquisition.window;
    auto armed = std::make_shared<std::atomic<std::uint8_t>>(1);
    state.timerArmed = armed;
    server.recordingTimer.stop();
    server.recordingTimer.start(limitMs, [&events = server.eventQueue, armed, window] {
        events.push(recordingWindowRecord(TIMER_EVT, armed->exchange(0), window));
    });
}

}  // namespace

void commandSetEmgConfig(ServerContext& server, const CommandFrame& frame, Response& response) {
    response.push_back(SET_EMG_CONFIG);
    if (frame.length != 3) {
        response.push_back(STATUS_FAILED);
        return;
    }
    AcquisitionState& state = server.acquisition;
    // A recording or an identification reads frames of the configured size:
    // changing it under them would mix frame sizes in one raw file.
    if (state.dataMode == RECORD_MODE || state.dataMode == IDENTIFY_MODE) {
        logLine("SET_EMG_CONFIG refused while %s",
                state.dataMode == RECORD_MODE ? "recording" : "identifying");
        response.push_back(STATUS_WRONG_MODE);
        return;
    }
    state.configure(frame.bytes[1], frame.bytes[2]);
    server.handle->setEmgRawDataConfig(state.channelMask, state.channelCount, frame.origin);
}

void startRecordingWindow(ServerContext& server, const CommandFrame& frame, Response& response,
                          WindowLimits limits) {
    response.push_back(START_RECORD);
    AcquisitionState& state = server.acquisition;
    if (frame.length != 2 || state.dataMode != IDLE_MODE) {
        response.push_back(STATUS_FAILED);
        return;
    }
    if (!server.handle->currentDevice()) {
        logLine("START_RECORD, no armband");
        response.push_back(STATUS_NO_DEVICE);
        return;
    }
    const std::uint8_t gesture = frame.bytes[1];
    const std::uint8_t channels = state.channelMask;
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
    endPreview(server);
    // The window and the mode are set up before the stream is switched on, so
    // every packet of this window lands in this window's buffer; the window's
    // time starts once the armband has switched the stream on.
    const std::uint32_t window = state.openWindow(frame.origin);
    server.routing.startRecording(RecordingPlan{window, gesture, channels, limits.frames});
    state.dataMode = RECORD_MODE;
    state.recordingGesture = gesture;
    switchOnForStart(server, tessel::kNotifyEmgRaw, [&server, window, limits](std::uint8_t status) {
        AcquisitionState& now = server.acquisition;
        if (now.window.open != window) {
            return;  // ended meanwhile, and answered by what ended it
        }
        if (status == STATUS_OK) {
            armWindowTimer(server, window, limits.timeLimitMs);
            return;
        }
        const Origin owner = now.window.owner;
        now.closeWindow(window);
        server.routing.stopRecording();
        if (now.dataMode == RECORD_MODE) {
            now.dataMode = IDLE_MODE;
        }
        const std::uint8_t answer[] = {START_RECORD, status};
        server.clientRegistry.answer(owner, answer, sizeof answer);
    });
}

void commandStartRecord(ServerContext& server, const CommandFrame& frame, Response& response) {
    // The window ends when it holds its frames; an armband that has not sent
    // them in the window's time and kArmbandSilenceMs more has failed it.
    startRecordingWindow(server, frame, response,
                         WindowLimits{kRecordWindowFrames, server.recordingWindowLimitMs});
}

void commandStopRecord(ServerContext& server, const CommandFrame& frame, Response& response) {
    response.push_back(START_RECORD);
    if (frame.length != 1 || server.acquisition.dataMode != RECORD_MODE) {
        response.push_back(STATUS_FAILED);
        return;
    }
    server.acquisition.dataMode = IDLE_MODE;
    // The window's answer too, for whoever started it.
    response.alsoFor = abandonRecording(server);
    response.push_back(STATUS_STOPPED);
}
