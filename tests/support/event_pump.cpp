#include "tests/support/event_pump.h"

#include <thread>

#include "server/server.h"

bool pumpEventsUntil(ServerContext& server, const std::function<bool()>& done,
                     std::chrono::milliseconds timeout, ApiCalls* api) {
    const EventHandlers handlers = serverEventHandlers(server, api);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        if (std::optional<Event> event = server.eventQueue.tryPop()) {
            dispatchEvent(*event, handlers);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    return true;
}

void pumpEventsFor(ServerContext& server, std::chrono::milliseconds duration, ApiCalls* api) {
    pumpEventsUntil(
        server, [] { return false; }, duration, api);
}
