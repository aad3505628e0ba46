// The recording window: what one START_RECORD records.
#pragma once

#include <cstdint>

#include "protocol/emg_rate.h"

// The recording window lasts 30 s.
inline constexpr std::int64_t RECORD_WINDOW_MS = 30000;
// The frames a recording window holds: 30 s of EMG, 19500 frames.
inline constexpr std::uint32_t kRecordWindowFrames =
    static_cast<std::uint32_t>(RECORD_WINDOW_MS / 1000 * kEmgFramesPerSecond);
