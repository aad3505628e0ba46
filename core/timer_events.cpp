#include "core/timer_events.h"

#include "core/event_queue.h"
#include "core/log.h"
#include "device/tessel_handle.h"

void handleTimerEvents(const std::uint8_t* payload, std::size_t length) {
    logLine("handleTimerEvents");
    if (length == 0) {
        logLine("Timer event format err!!!");
        return;
    }
    if (payload[0] == 1) {
        handle->setDataNotifySwitch(tessel::kNotifyNone);
        eventQueue.push(makeEventRecord(INTERNAL_EVT, {1}));
    }
}
