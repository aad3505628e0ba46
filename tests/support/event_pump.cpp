#include "tests/support/event_pump.h"

#include <thread>

#include "api/api_calls.h"
#include "commands/client_commands.h"
#include "core/event_queue.h"
#include "core/main_loop.h"
#include "core/timer_events.h"
#include "device/hub_events.h"
#include "training/raw_recording_file.h"

namespace {

bool pumpOne() {
    static const EventHandlers handlers{handleClientCommands, handleHubEvents, handleTimerEvents,
                                        handleInternalEvents, handleApiEvents};
    EventRecord record = eventQueue.tryPop();
    if (!record) {
        return false;
    }
    dispatchEvent(*record, handlers);
    return true;
}

}  // namespace

bool pumpEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        if (!pumpOne()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    return true;
}

void pumpEventsFor(std::chrono::milliseconds duration) {
    pumpEventsUntil([] { return false; }, duration);
}
