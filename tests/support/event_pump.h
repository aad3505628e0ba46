#pragma once

#include <chrono>
#include <functional>

// Plays the main loop in a unit test: takes records off eventQueue and hands
// them to the server's handlers until `done` holds or the time-out passes.
bool pumpEventsUntil(const std::function<bool()>& done,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Handles whatever arrives within the given time.
void pumpEventsFor(std::chrono::milliseconds duration);
