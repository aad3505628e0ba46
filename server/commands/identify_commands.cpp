#include "base/log.h"
#include "server/commands/client_commands.h"
#include "server/commands/command_handlers.h"
#include "server/commands/stream_switching.h"
#include "server/device/hub_events.h"
#include "server/state/server_context.h"
#include "store/identify_model_check.h"

void commandStartIdentify(ServerContext& server, const CommandFrame& frame, Response& response) {
    response.push_back(START_IDENTIFY);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    logLine("start identify command recieved.");
    AcquisitionState& state = server.acquisition;
    if (state.dataMode != IDLE_MODE) {
        response.push_back(STATUS_FAILED);
        return;
    }
    if (!server.handle->currentDevice()) {
        logLine("START_IDENTIFY, no armband");
        response.push_back(STATUS_NO_DEVICE);
        return;
    }
    ModelShape shape;
    const IdentifyMode mode = server.identifyMode;  // one reading for the whole run
    if (!checkIdentifyModel(shape, state.channelCount) ||
        !modelTrainedOnGestures(shape, state.gestureMask) ||
        (mode == IdentifyMode::calibrated &&
         !recogniserFitsModel(state.channelCount, state.gestureMask))) {
        response.push_back(STATUS_FAILED);
        return;
    }
    const std::uint32_t windowLength = identifyWindowLengthFor(shape);
    logLine("identify buffer length:%d", static_cast<int>(windowLength));
    state.identifyWindowLength = windowLength;
    state.identifyRunMode = mode;
    server.identify.loadModel(
        IdentifyRun{windowLength / kIdentifyWindowFrames, mode, state.gestureMask});
    // The cutter is emptied and the mode set before the stream is switched on.
    server.routing.startIdentify(windowLength, identifyWindowStepFor(windowLength, mode));
    state.dataMode = IDENTIFY_MODE;
    switchOnForStart(server, tessel::kNotifyEmgRaw,
                     [&server, origin = frame.origin](std::uint8_t status) {
                         if (status == STATUS_OK) {
                             return;
                         }
                         server.routing.stopIdentify();
                         endPreview(server);
                         if (server.acquisition.dataMode == IDENTIFY_MODE) {
                             server.acquisition.dataMode = IDLE_MODE;
                         }
                         const std::uint8_t answer[] = {START_IDENTIFY, status};
                         server.clientRegistry.answer(origin, answer, sizeof answer);
                     });
}

void commandStopIdentify(ServerContext& server, const CommandFrame& frame, Response& response) {
    response.push_back(START_IDENTIFY);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    logLine("stop identify command recieved.");
    if (server.handle->stopScan()) {
        const std::uint8_t scanStopped[] = {SCAN_DEVICE, STATUS_STOPPED};
        server.clientRegistry.answer(server.scanOwner, scanStopped, sizeof scanStopped);
    }
    // It stops whatever runs; with nothing running the armband is not asked.
    AcquisitionState& state = server.acquisition;
    const std::int32_t before = state.dataMode;
    state.dataMode = IDLE_MODE;
    if (before == RECORD_MODE) {
        const std::optional<Origin> owner = abandonRecording(server);
        const std::uint8_t recordingStopped[] = {START_RECORD, STATUS_STOPPED};
        server.clientRegistry.answer(owner.value_or(Origin{}), recordingStopped,
                                     sizeof recordingStopped);
    } else if (before != IDLE_MODE) {
        server.routing.stopIdentify();
        server.routing.setGestureStream(false);
        endPreview(server);
        switchOffNow(server);
    }
    response.push_back(STATUS_STOPPED);
}
