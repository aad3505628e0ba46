#pragma once

#include <cstddef>
#include <cstdint>

// The TIMER_EVT handler (main thread). A payload of 1 and a window identity
// that is still the open recording window means the window's time ran out
// before the armband filled it: the window is given up (nothing saved), the raw
// stream switched off and 06 F0 answered. A window that is full by then ends
// through its own INTERNAL_EVT; one abandoned meanwhile ends nothing.
void handleTimerEvents(const std::uint8_t* payload, std::size_t length);
