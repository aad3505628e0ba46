// Client commands: one binary message each, byte 0 the command code. Answers
// go to every connected client (own answers aside, server/net/client_registry.h);
// a command that has nothing to say at once answers later through
// notifications, or not at all.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/event_record.h"
#include "protocol/wire.h"

class ServerContext;

// The APP_CLIENT_EVT handler (main thread), for a message of the client
// `from`. `length` is the whole message's length: every length test compares
// it, so an over-long frame fails its test. A client that asked for its own
// answers (OWN_ANSWERS) gets, for every message, one frame of its own: 31 seq
// and the immediate answer, if any.
void handleClientCommands(ServerContext& server, const Origin& from, const std::uint8_t* payload,
                          std::size_t length);
