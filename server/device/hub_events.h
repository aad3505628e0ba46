// Device notifications: two bytes, code then value, queued as HUB_EVT records
// by the device handler and sent to the clients by the main thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/event_record.h"
#include "protocol/wire.h"

class EventQueue;

// Queues the record HUB_EVT, code, value; `origin` is the command whose
// request it answers, when known. Any thread.
void postHubEvent(EventQueue& events, std::uint8_t code, std::uint8_t value,
                  const Origin& origin = {});
