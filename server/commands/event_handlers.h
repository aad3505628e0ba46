// The main thread's handlers of the events that are not client commands:
// device notifications, the recording window's timer and internal events.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/event_record.h"

class ServerContext;

// HUB_EVT: the notification goes to every client; the final answer of an
// operation a command started (a scan's 02 00, a connection's 03 xx, a
// configuration's 05 xx, an upload's 0C xx) is that command's own answer for
// its client. A connection asks the armband for its versions, kept for the
// status.
void handleHubEvents(ServerContext& server, const Origin& origin, const std::uint8_t* payload,
                     std::size_t length);

// TIMER_EVT. A payload of 1 and a window identity that is still the open
// recording window means the window's time ran out before the armband filled
// it: the window is given up (nothing saved), the raw stream switched off and
// 06 F0 answered. A window that is full by then ends through its own
// INTERNAL_EVT; one abandoned meanwhile ends nothing.
void handleTimerEvents(ServerContext& server, const std::uint8_t* payload, std::size_t length);

// INTERNAL_EVT. Code 1 with the identity of the open recording window (queued
// when the window holds its frames) closes it: idle mode, the raw stream
// switched off, and the background worker appends the window to the
// gesture's raw file and its log; then 06 00 (06 FF when the files could not
// be written) answers the window. A window no longer open ends nothing.
// kConnectGivenUp and kScanGivenUp answer 03 F0 and 02 F0; kDisconnected
// resets the acquisition state and answers a window the link took (06 F2).
void handleInternalEvents(ServerContext& server, const std::uint8_t* payload, std::size_t length);
