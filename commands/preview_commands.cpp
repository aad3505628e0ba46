#include "commands/client_commands.h"
#include "commands/command_handlers.h"
#include "core/log.h"
#include "device/acquisition_state.h"
#include "device/hub_events.h"
#include "device/tessel_handle.h"

void commandStartPreview(const CommandFrame& frame, Response& response) {
    response.push_back(START_PREVIEW);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    // A recording previews its window by itself; the armband's gesture stream
    // has the raw stream switched off.
    const std::int32_t mode = dataMode.load();
    if (mode != IDLE_MODE && mode != IDENTIFY_MODE) {
        response.push_back(STATUS_WRONG_MODE);
        return;
    }
    if (!handle->currentDevice()) {
        logLine("START_PREVIEW, no armband");
        response.push_back(STATUS_NO_DEVICE);
        return;
    }
    if (mode == IDLE_MODE && !handle->preview().isOpen()) {
        const std::uint8_t switched = handle->setDataNotifySwitch(tessel::kNotifyEmgRaw);
        if (switched != STATUS_OK) {
            response.push_back(switched);
            return;
        }
    }
    handle->preview().open();  // answers 12 00 ahead of the first frame
}

void commandStopPreview(const CommandFrame& frame, Response& response) {
    response.push_back(START_PREVIEW);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    if (!handle->preview().close()) {  // answers 12 FD after the last frame
        response.push_back(STATUS_WRONG_MODE);
        return;
    }
    // While identifying the raw stream stays on for identification.
    if (dataMode.load() == IDLE_MODE) {
        handle->setDataNotifySwitch(tessel::kNotifyNone);
    }
}

void endPreview() {
    if (handle) {
        handle->preview().close();
    }
}
