// The main loop: pops records from a queue, logs each with a dump of its
// payload and hands it to the handler for its type, until an EXIT_EVT.
//
// Runs on the main thread only; every handler runs there, one after another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class EventQueue;

// A handler receives the payload (the bytes after the type byte) and its true
// length; the pointer is valid only during the call.
using EventHandler = std::function<void(const std::uint8_t* payload, std::size_t length)>;

struct EventHandlers {
    EventHandler client;    // APP_CLIENT_EVT
    EventHandler hub;       // HUB_EVT
    EventHandler timer;     // TIMER_EVT
    EventHandler internal;  // INTERNAL_EVT
    EventHandler api;       // API_EVT, handled without the dump line: it logs its own
};

// "0x%02x " for each of the first ten payload bytes.
std::string payloadDump(const std::uint8_t* payload, std::size_t length);

// Logs and handles one record. Returns true when it was an EXIT_EVT.
bool dispatchEvent(const std::vector<std::uint8_t>& record, const EventHandlers& handlers);

// Runs until an EXIT_EVT has been handled; records queued behind it stay queued.
void runMainLoop(EventQueue& queue, const EventHandlers& handlers);
