// Client commands: one binary message each, byte 0 the command code. Answers
// go to every connected client; a command that has nothing to say at once
// answers later through notifications, or not at all.
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/wire.h"

// The APP_CLIENT_EVT handler (main thread). `length` is the whole message's
// length: every length test compares it, so an over-long frame fails its test.
void handleClientCommands(const std::uint8_t* payload, std::size_t length);
