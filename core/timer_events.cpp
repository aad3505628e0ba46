#include "core/timer_events.h"

#include <bit>

#include "core/log.h"
#include "core/recording_timer.h"
#include "device/acquisition_state.h"
#include "device/hub_events.h"
#include "device/raw_data_routing.h"
#include "device/tessel_handle.h"
#include "server/client_registry.h"

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
    if (rawBuffer.stop()) {
        return;  // full: its end is queued and saves it
    }
    if (!closeRecordingWindow(window)) {
        return;  // abandoned meanwhile by a disconnection, which answered it
    }
    std::int32_t recording = RECORD_MODE;
    dataMode.compare_exchange_strong(recording, IDLE_MODE);
    const RecordingPlan plan = rawBuffer.plan();
    logLine("recording window %u: the armband sent %zu of its %u frames in time; nothing saved",
            window, rawBuffer.size() / static_cast<std::size_t>(std::popcount(plan.channelMask)),
            plan.frameLimit);
    handle->setDataNotifySwitch(tessel::kNotifyNone);
    const std::uint8_t answer[] = {kRecordAnswer, STATUS_DEVICE_ERROR};
    sendToClients(answer, sizeof answer);
}
