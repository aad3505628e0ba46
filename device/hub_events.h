// Device notifications: two bytes, code then value, queued as HUB_EVT records
// by the device handler and sent to every client by the main thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/wire.h"

// Queues the record HUB_EVT, code, value. Any thread.
void postHubEvent(std::uint8_t code, std::uint8_t value);

// The HUB_EVT handler (main thread): sends the payload unchanged to every client.
void handleHubEvents(const std::uint8_t* payload, std::size_t length);
