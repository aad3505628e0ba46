// The recording window's constants and the records that end a window.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/event_record.h"
#include "protocol/recording_window.h"

// INTERNAL_EVT code: the open window holds its frames and is over.
inline constexpr std::uint8_t kRecordingWindowClosed = 1;

// Every window has an identity (never 0); the end of a window that is no
// longer the open one does nothing.
// The window identity in the four bytes at `bytes` (low byte first); 0 when
// fewer than four are there.
std::uint32_t recordingWindowIn(const std::uint8_t* bytes, std::size_t length);

// The record `type`, `code`, then the window identity (four bytes, low byte first).
EventRecord recordingWindowRecord(std::uint8_t type, std::uint8_t code, std::uint32_t window);
