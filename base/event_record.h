// Records that threads hand to the main thread through the event queue.
//
// Byte 0 of a record is its type; the rest is the payload. A producer makes a
// fresh record, pushes it and drops its own reference.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

using EventRecord = std::shared_ptr<std::vector<std::uint8_t>>;

enum EventType : std::uint8_t {
    APP_CLIENT_EVT = 0,  // a client message, as received
    HUB_EVT = 1,         // a device notification: code, value
    TIMER_EVT = 2,       // the recording window's time ran out: whether it was still open
    INTERNAL_EVT = 3,    // 1 = the recording window holds its frames and is over
    EXIT_EVT = 4,        // the server ends
    API_EVT = 5,         // an HTTP API request waits for the main thread: its id, 8 bytes
};

// A connected client's identity, given when it joins the client registry;
// never 0, never reused while the server runs.
using ClientId = std::uint64_t;
inline constexpr ClientId kNoClient = 0;

// Whom an answer is for: the client whose command started what it answers and,
// when that client asked for its own answers, the number of that command.
// An answer without one goes to every client alike.
struct Origin {
    ClientId client = kNoClient;
    std::optional<std::uint16_t> seq;  // set: the client wants its own answers
};

EventRecord makeEventRecord(std::uint8_t type, std::initializer_list<std::uint8_t> payload = {});
EventRecord makeEventRecord(std::uint8_t type, const std::uint8_t* payload, std::size_t length);
