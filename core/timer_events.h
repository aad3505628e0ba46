#pragma once

#include <cstddef>
#include <cstdint>

// The TIMER_EVT handler (main thread). A payload of 1 means the recording
// window was still open when the timer fired: the raw stream is switched off
// and INTERNAL_EVT 1 is queued to write the recording.
void handleTimerEvents(const std::uint8_t* payload, std::size_t length);
