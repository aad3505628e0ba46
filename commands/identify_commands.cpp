#include "commands/client_commands.h"
#include "commands/command_handlers.h"
#include "core/log.h"
#include "device/acquisition_state.h"
#include "device/hub_events.h"
#include "device/identify_window_cutter.h"
#include "device/raw_data_routing.h"
#include "device/tessel_handle.h"
#include "identify/identify_model_check.h"
#include "server/client_registry.h"

void commandStartIdentify(const CommandFrame& frame, Response& response) {
    response.push_back(START_IDENTIFY);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    logLine("start identify command recieved.");
    if (dataMode.load() != IDLE_MODE) {
        response.push_back(STATUS_FAILED);
        return;
    }
    if (!handle->currentDevice()) {
        logLine("START_IDENTIFY, no armband");
        response.push_back(STATUS_NO_DEVICE);
        return;
    }
    ModelShape shape;
    const IdentifyMode mode = identifyMode();  // one reading for the whole run
    if (!checkIdentifyModel(shape, channelCount.load()) ||
        !modelTrainedOnGestures(shape, gestureMask.load()) ||
        (mode == IdentifyMode::calibrated &&
         !recogniserFitsModel(channelCount.load(), gestureMask.load()))) {
        response.push_back(STATUS_FAILED);
        return;
    }
    const std::uint32_t windowLength = identifyWindowLengthFor(shape);
    logLine("identify buffer length:%d", static_cast<int>(windowLength));
    requestIdentifyModelLoad(windowLength, mode);
    // The accumulator is emptied and the mode set before the stream is switched on.
    identifyAccumulator.reset(windowLength, identifyWindowStepFor(windowLength, mode));
    std::int32_t idle = IDLE_MODE;
    if (!dataMode.compare_exchange_strong(idle, IDENTIFY_MODE)) {
        response.push_back(STATUS_FAILED);
        return;
    }
    const std::uint8_t switched = handle->setDataNotifySwitch(tessel::kNotifyEmgRaw);
    if (switched != STATUS_OK) {
        std::int32_t identifying = IDENTIFY_MODE;
        dataMode.compare_exchange_strong(identifying, IDLE_MODE);
        response.push_back(switched);
    }
}

void commandStopIdentify(const CommandFrame& frame, Response& response) {
    response.push_back(START_IDENTIFY);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    logLine("stop identify command recieved.");
    if (handle->stopScan()) {
        const std::uint8_t scanStopped[] = {SCAN_DEVICE, STATUS_STOPPED};
        sendToClients(scanStopped, sizeof scanStopped);
    }
    // It stops whatever runs; with nothing running the armband is not asked.
    const std::int32_t before = dataMode.exchange(IDLE_MODE);
    if (before == RECORD_MODE) {
        abandonRecording();
        const std::uint8_t recordingStopped[] = {START_RECORD, STATUS_STOPPED};
        sendToClients(recordingStopped, sizeof recordingStopped);
    } else if (before != IDLE_MODE) {
        endPreview();
        handle->setDataNotifySwitch(tessel::kNotifyNone);
    }
    response.push_back(STATUS_STOPPED);
}
