// The timer that closes a recording window, and its scheduler.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/timer.h"

// The recording window lasts 30 s.
inline constexpr std::int64_t RECORD_WINDOW_MS = 30000;

// The window that START_RECORD arms, in milliseconds of real time: 30 s, or
// less when the armband streams faster than real time. Set once at start-up,
// before the main loop runs.
extern std::atomic<std::int64_t> recordingWindowMs;

extern TimerScheduler timerScheduler;
extern Timer recordingTimer;

// 1 while a timed recording window is open. Set by START_RECORD on the main
// thread; cleared by STOP_RECORD, by a disconnection (SDK callback thread) and
// by the window callback (timer worker).
extern std::atomic<std::uint8_t> recordTimerArmed;

// The recording-window callback: queues TIMER_EVT with the value that
// recordTimerArmed had, and clears the flag.
void postRecordingWindowEnd();
