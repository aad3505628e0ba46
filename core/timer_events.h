#pragma once

#include <cstddef>
#include <cstdint>

// The TIMER_EVT handler (main thread). A payload of 1 and a window identity
// that is still the open recording window means the window's time is up: the
// raw stream is switched off and INTERNAL_EVT 1 with the identity is queued to
// write the recording. A window abandoned meanwhile ends nothing.
void handleTimerEvents(const std::uint8_t* payload, std::size_t length);
