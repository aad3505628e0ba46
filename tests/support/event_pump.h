#pragma once

#include <chrono>
#include <functional>

class ApiCalls;
class ServerContext;

// Plays the main loop in a unit test: takes events off the server's queue and
// hands them to the server's own handlers (server/server.h) until `done`
// holds or the time-out passes. An EXIT_EVT ends nothing here.
bool pumpEventsUntil(ServerContext& server, const std::function<bool()>& done,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10),
                     ApiCalls* api = nullptr);
// Handles whatever arrives within the given time.
void pumpEventsFor(ServerContext& server, std::chrono::milliseconds duration,
                   ApiCalls* api = nullptr);
