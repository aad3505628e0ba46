#include "core/main_loop.h"

#include <atomic>
#include <cstdio>

#include "core/event_queue.h"
#include "core/log.h"

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

bool dispatchEvent(const std::vector<std::uint8_t>& record, const EventHandlers& handlers) {
    if (record.empty()) {
        return false;
    }
    const std::uint8_t type = record[0];
    if (type == API_EVT) {
        if (handlers.api) {
            handlers.api(record.data() + 1, record.size() - 1);
        }
        return false;
    }
    const char* format = logFormatFor(type);
    if (format == nullptr) {
        return false;
    }
    const std::uint8_t* payload = record.data() + 1;
    const std::size_t length = record.size() - 1;
    logLine(format, payloadDump(payload, length).c_str());

    const EventHandler* handler = nullptr;
    switch (type) {
        case APP_CLIENT_EVT:
            handler = &handlers.client;
            break;
        case HUB_EVT:
            handler = &handlers.hub;
            break;
        case TIMER_EVT:
            handler = &handlers.timer;
            break;
        case INTERNAL_EVT:
            handler = &handlers.internal;
            break;
        default:
            return true;  // EXIT_EVT
    }
    if (*handler) {
        (*handler)(payload, length);
    }
    return false;
}

void runMainLoop(EventQueue& queue, const EventHandlers& handlers) {
    std::atomic<bool> exitFlag{false};
    while (!exitFlag.load()) {
        EventRecord record = queue.pop();
        if (record && dispatchEvent(*record, handlers)) {
            exitFlag.store(true);
        }
    }
}
