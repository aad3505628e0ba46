#include "server/device/hub_events.h"

#include "base/event_queue.h"

void postHubEvent(EventQueue& events, std::uint8_t code, std::uint8_t value, const Origin& origin) {
    events.push(makeEventRecord(HUB_EVT, {code, value}), origin);
}
