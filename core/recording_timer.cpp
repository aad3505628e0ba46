#include "core/recording_timer.h"

#include "core/event_queue.h"

// Defined in this order so that the timer is destroyed, and stopped, before its
// scheduler joins the worker.
TimerScheduler timerScheduler;
Timer recordingTimer(timerScheduler);
std::atomic<std::uint8_t> recordTimerArmed{0};
std::atomic<std::int64_t> recordingWindowMs{RECORD_WINDOW_MS};

void postRecordingWindowEnd() {
    const std::uint8_t armed = recordTimerArmed.exchange(0);
    eventQueue.push(makeEventRecord(TIMER_EVT, {armed}));
}
