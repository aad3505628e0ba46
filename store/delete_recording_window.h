// Removing one window from a raw recording: its bytes leave "rawN.bin" and its
// line leaves "rawN.windows", the later windows moving up. Main thread.
//
// Both files change together or not at all, also when the server is killed
// in the middle: the new raw file is written beside the old one as
// "rawN.bin.new", then the new log as "rawN.windows.new" (each flushed to the
// disk); then the raw file is replaced, then the log. A "rawN.windows.new"
// found at start-up therefore means that the new raw file was complete:
// finishWindowDelete replaces what is left to replace, or, when the raw file
// was not replaced yet, drops the change.
#pragma once

#include <cstddef>

enum class WindowDelete {
    deleted,
    noRecording,     // the gesture has no raw file
    noSuchWindow,    // the log has fewer windows
    windowsUnknown,  // the raw file has no window log that accounts for it
    failed,          // the files could not be written; both are as they were
};

// `window` counts from 1, in the order of the log.
WindowDelete removeRecordingWindow(int gesture, std::size_t window);

// Start-up, before the raw file is settled: completes or drops a window
// delete that a killed server left half done, with a log line.
void finishWindowDelete(int gesture);
