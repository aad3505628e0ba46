#include "server/main_loop.h"

#include <cstdio>

#include "base/log.h"

namespace {

// The dump has room for ten payload bytes; longer payloads are cut there.
constexpr std::size_t kDumpBytes = 10;

const char* logFormatFor(std::uint8_t type) {
    switch (type) {
        case APP_CLIENT_EVT:
            return "APP_CLIENT_EVT: %s";
        case HUB_EVT:
            return "HUB_EVT: %s";
        case TIMER_EVT:
            return "TIMER_EVT: %s";
        case INTERNAL_EVT:
            return "INTERNAL_EVT: %s";
        case EXIT_EVT:
            return "EXIT_EVT: %s";
        default:
            return nullptr;
    }
}

}  // namespace

std::string payloadDump(const std::uint8_t* payload, std::size_t length) {
    char text[kDumpBytes * 5 + 1];
    std::size_t used = 0;
    for (std::size_t i = 0; i < length && i < kDumpBytes; ++i) {
        used += static_cast<std::size_t>(
            std::snprintf(text + used, sizeof text - used, "0x%02x ", payload[i]));
    }
    text[used] = '\0';
    return text;
}

bool dispatchEvent(const Event& event, const EventHandlers& handlers) {
    if (event.task) {
        event.task();
        return false;
    }
    if (!event.record || event.record->empty()) {
        return false;
    }
    const std::vector<std::uint8_t>& record = *event.record;
    const std::uint8_t type = record[0];
    const std::uint8_t* payload = record.data() + 1;
    const std::size_t length = record.size() - 1;
    if (type == API_EVT) {
        if (handlers.api) {
            handlers.api(payload, length);
        }
        return false;
    }
    const char* format = logFormatFor(type);
    if (format == nullptr) {
        return false;
    }
    logLine(format, payloadDump(payload, length).c_str());
    switch (type) {
        case APP_CLIENT_EVT:
            if (handlers.client) {
                handlers.client(event.origin, payload, length);
            }
            return false;
        case HUB_EVT:
            if (handlers.hub) {
                handlers.hub(event.origin, payload, length);
            }
            return false;
        case TIMER_EVT:
            if (handlers.timer) {
                handlers.timer(payload, length);
            }
            return false;
        case INTERNAL_EVT:
            if (handlers.internal) {
                handlers.internal(payload, length);
            }
            return false;
        default:
            return true;  // EXIT_EVT
    }
}

void runMainLoop(EventQueue& queue, const EventHandlers& handlers) {
    for (;;) {
        const Event event = queue.pop();
        if (dispatchEvent(event, handlers)) {
            return;
        }
    }
}
