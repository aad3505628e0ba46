#include "device/hub_events.h"

#include "core/event_queue.h"
#include "core/log.h"
#include "server/client_registry.h"

void postHubEvent(std::uint8_t code, std::uint8_t value) {
    eventQueue.push(makeEventRecord(HUB_EVT, {code, value}));
}

void handleHubEvents(const std::uint8_t* payload, std::size_t length) {
    logLine("handleHubEvents");
    if (length == 0) {
        logLine("Hub event format err!!!");
        return;
    }
    sendToClients(payload, length);
}
