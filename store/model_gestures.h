// Which gestures "W&B.txt" was trained on: the gesture mask of the last
// successful generation, kept beside it in "W&B.gestures" (one line, the mask
// in hexadecimal, such as "0x13"), so that identification names the gestures
// the model knows. Main thread.
#pragma once

#include <cstdint>
#include <optional>

#include "base/atomic_file.h"

inline constexpr const char* kModelGesturesFileName = "W&B.gestures";

// Replaces the file, whole or not at all; the result says why when it
// cannot be written.
FileWrite saveModelGestures(std::uint8_t gestureMask);
// The mask in the file; nothing when the file is missing or malformed.
std::optional<std::uint8_t> loadModelGestures();
