// The timer that closes a recording window, its scheduler, and the identity
// of the window that is open.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/emg_rate.h"
#include "core/event_record.h"
#include "core/timer.h"

// The recording window lasts 30 s.
inline constexpr std::int64_t RECORD_WINDOW_MS = 30000;
// The frames a recording window holds: 30 s of EMG, 19500 frames.
inline constexpr std::uint32_t kRecordWindowFrames =
    static_cast<std::uint32_t>(RECORD_WINDOW_MS / 1000 * kEmgFramesPerSecond);
// INTERNAL_EVT code: the open window holds its frames and is over.
inline constexpr std::uint8_t kRecordingWindowClosed = 1;

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

// Every window has an identity; the end of a window that is no longer the open
// one does nothing. Opened by START_RECORD and closed by the end of the window
// (main thread); abandoned by STOP_RECORD, STOP_IDENTIFY (main thread) and a
// disconnection (SDK callback thread).
// A new window's identity (never 0), which becomes the open window.
std::uint32_t openRecordingWindow();
// True when `window` is the open window.
bool isOpenRecordingWindow(std::uint32_t window);
// Closes `window` if it is the open one; true when it was.
bool closeRecordingWindow(std::uint32_t window);
// Closes whichever window is open; true when one was.
bool abandonRecordingWindow();

// The window identity in the four bytes at `bytes` (low byte first); 0 when
// fewer than four are there.
std::uint32_t recordingWindowIn(const std::uint8_t* bytes, std::size_t length);

// The record `type`, `code`, then the window identity (four bytes, low byte first).
EventRecord recordingWindowRecord(std::uint8_t type, std::uint8_t code, std::uint32_t window);

// The recording-window callback of `window`: queues TIMER_EVT with the value
// that recordTimerArmed had and the window's identity, and clears the flag.
void postRecordingWindowEnd(std::uint32_t window);
