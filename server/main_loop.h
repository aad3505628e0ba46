// The main loop: pops events from a queue, logs each record with a dump of its
// payload and hands it to the handler for its type, runs each task, until an
// EXIT_EVT.
//
// Runs on the main thread only; every handler runs there, one after another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/event_queue.h"

// A handler receives the payload (the bytes after the type byte) and its true
// length; the pointer is valid only during the call.
using EventHandler = std::function<void(const std::uint8_t* payload, std::size_t length)>;
// The same, with the client the event came from or is answered to.
using OriginEventHandler =
    std::function<void(const Origin& origin, const std::uint8_t* payload, std::size_t length)>;

struct EventHandlers {
    OriginEventHandler client;  // APP_CLIENT_EVT
    OriginEventHandler hub;     // HUB_EVT
    EventHandler timer;         // TIMER_EVT
    EventHandler internal;      // INTERNAL_EVT
    EventHandler api;           // API_EVT, handled without the dump line: it logs its own
};

// "0x%02x " for each of the first ten payload bytes.
std::string payloadDump(const std::uint8_t* payload, std::size_t length);

// Logs and handles one event (a task is run). Returns true when it was an EXIT_EVT.
bool dispatchEvent(const Event& event, const EventHandlers& handlers);

// Runs until an EXIT_EVT has been handled; events queued behind it stay queued.
void runMainLoop(EventQueue& queue, const EventHandlers& handlers);
