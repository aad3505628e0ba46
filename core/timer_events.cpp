#include "core/timer_events.h"

#include "core/event_queue.h"
#include "core/log.h"
#include "core/recording_timer.h"
#include "device/tessel_handle.h"

void handleTimerEvents(const std::uint8_t* payload, std::size_t length) {
    logLine("handleTimerEvents");
    if (length == 0) {
        logLine("Timer event format err!!!");
        return;
    }
    if (payload[0] != 1) {
        return;
    }
    const std::uint32_t window = recordingWindowIn(payload + 1, length - 1);
    if (!isOpenRecordingWindow(window)) {
        logLine("handleTimerEvents, recording window %u is no longer open", window);
        return;
    }
    handle->setDataNotifySwitch(tessel::kNotifyNone);
    eventQueue.push(
        makeEventRecord(INTERNAL_EVT, {1, payload[1], payload[2], payload[3], payload[4]}));
}
