#include "commands/client_commands.h"
#include "commands/command_handlers.h"
#include "core/log.h"
#include "device/acquisition_state.h"
#include "device/identify_window_cutter.h"
#include "device/raw_data_routing.h"
#include "device/tessel_handle.h"
#include "identify/identify_model_check.h"

void commandStartIdentify(const CommandFrame& frame, Response& response) {
    response.push_back(START_IDENTIFY);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    logLine("start identify command recieved.");
    ModelShape shape;
    if (dataMode.load() != IDLE_MODE || !checkIdentifyModel(shape, channelCount.load())) {
        response.push_back(STATUS_FAILED);
        return;
    }
    const std::uint32_t windowLength = identifyWindowLengthFor(shape);
    logLine("identify buffer length:%d", static_cast<int>(windowLength));
    const IdentifyMode mode = identifyMode();  // one reading for the whole run
    requestIdentifyModelLoad(windowLength, mode);
    // The accumulator is emptied and the mode set before the stream is switched on.
    identifyAccumulator.reset(windowLength, identifyWindowStepFor(windowLength, mode));
    std::int32_t idle = IDLE_MODE;
    if (!dataMode.compare_exchange_strong(idle, IDENTIFY_MODE)) {
        response.push_back(STATUS_FAILED);
        return;
    }
    handle->setDataNotifySwitch(tessel::kNotifyEmgRaw);
}

void commandStopIdentify(const CommandFrame& frame, Response& response) {
    response.push_back(START_IDENTIFY);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    logLine("stop identify command recieved.");
    handle->setDataNotifySwitch(tessel::kNotifyNone);
    dataMode.store(IDLE_MODE);
    response.push_back(STATUS_STOPPED);
}
