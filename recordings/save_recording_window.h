// The end of a recording window: its bytes go to the gesture's raw file and the
// window to the file's window log, in one step. Main thread.
#pragma once

#include <cstddef>
#include <cstdint>

// Appends the bytes to "raw" + gesture + ".bin" (see appendToRawFile) and, when
// that succeeded, logs the window with the current channel mask. False, with
// the raw file as it was, when the bytes could not be appended; a window log
// that cannot be written is only logged.
bool saveRecordingWindow(std::uint8_t gesture, const std::uint8_t* data, std::size_t length);
