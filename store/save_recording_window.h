// The end of a recording window: its bytes go to the gesture's raw file and the
// window to the file's window log, in one step. Main thread.
#pragma once

#include <cstddef>
#include <cstdint>

// Appends the bytes to "raw" + gesture + ".bin" (see appendToRawFile) and then
// logs the window with the channels it was recorded with in "raw" + gesture +
// ".windows"; the window is saved once its log line is. Bytes that an earlier
// append left beyond the last logged window are removed first (settleRawFile),
// and a raw file that is new gets its log from the first window on. False,
// with both files as they were, when the bytes or the log line could not be
// written. A raw file whose windows are unknown (no log, or one out of step)
// only has the bytes appended.
bool saveRecordingWindow(std::uint8_t gesture, std::uint8_t channelMask, const std::uint8_t* data,
                         std::size_t length);
