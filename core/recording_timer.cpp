#include "core/recording_timer.h"

#include "core/event_queue.h"
#include "core/request_watchdog.h"

// Defined in this order so that the timers are destroyed, and stopped, before
// their scheduler joins the worker.
TimerScheduler timerScheduler;
Timer recordingTimer(timerScheduler);
RequestWatchdog requestWatchdog(timerScheduler);
std::atomic<std::uint8_t> recordTimerArmed{0};
std::atomic<std::int64_t> recordingWindowMs{RECORD_WINDOW_MS};

namespace {

std::atomic<std::uint32_t> openWindow{0};  // 0: none open
std::atomic<std::uint32_t> lastWindow{0};  // main thread only writes it

}  // namespace

std::uint32_t openRecordingWindow() {
    std::uint32_t window = lastWindow.load() + 1;
    if (window == 0) {
        window = 1;
    }
    lastWindow.store(window);
    openWindow.store(window);
    return window;
}

bool isOpenRecordingWindow(std::uint32_t window) {
    return window != 0 && openWindow.load() == window;
}

bool closeRecordingWindow(std::uint32_t window) {
    return window != 0 && openWindow.compare_exchange_strong(window, 0);
}

bool abandonRecordingWindow() {
    return openWindow.exchange(0) != 0;
}

std::uint32_t recordingWindowIn(const std::uint8_t* bytes, std::size_t length) {
    if (length < 4) {
        return 0;
    }
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

EventRecord recordingWindowRecord(std::uint8_t type, std::uint8_t code, std::uint32_t window) {
    return makeEventRecord(
        type, {code, static_cast<std::uint8_t>(window), static_cast<std::uint8_t>(window >> 8),
               static_cast<std::uint8_t>(window >> 16), static_cast<std::uint8_t>(window >> 24)});
}

void postRecordingWindowEnd(std::uint32_t window) {
    eventQueue.push(recordingWindowRecord(TIMER_EVT, recordTimerArmed.exchange(0), window));
}
