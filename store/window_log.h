// The window log of a raw recording: beside "rawN.bin", "rawN.windows" holds
// one line per recording window appended to it,
//   <first byte> <bytes> <channel mask> <unix time of the window's end>
// so that a client can tell how many windows a file holds, when they were
// made and with which channels. The log is written in the same step that
// appends the window to the raw file (main thread), and a log that does not
// account for every byte of its raw file is out of step: its windows are then
// unknown.
//
// The log is also what makes an append safe to cut short: the bytes go to
// the raw file first, and the window exists once the new log has replaced the
// old one (atomically). Bytes beyond the log's last window are the end of an
// append that never finished, and settleRawFile removes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/atomic_file.h"

struct RecordedWindow {
    std::uint64_t firstByte = 0;
    std::uint64_t bytes = 0;
    std::uint8_t channelMask = 0;
    std::int64_t endTime = 0;  // seconds since 1970
};

// A log larger than this is not read (about 25000 windows).
inline constexpr std::size_t kMaxWindowLogBytes = 1024 * 1024;

std::string windowLogName(int gesture);

// Main thread. Records a window of `bytes` bytes that has just been appended
// to the raw file of `gesture`, which held `bytesBefore` bytes before. When the
// raw file held bytes that the log does not account for (it was made before
// windows were logged, or the log was lost), nothing is written and the file's
// windows stay unknown. The result says why when the log could not be written.
FileWrite logRecordedWindow(int gesture, std::uint64_t bytesBefore, std::uint64_t bytes,
                            std::uint8_t channelMask, std::int64_t endTime);

// The windows of the raw file of `gesture`, which holds `rawBytes` bytes, or
// nothing when the log is missing, malformed or out of step with the file.
std::optional<std::vector<RecordedWindow>> readWindowLog(int gesture, std::uint64_t rawBytes);

// The same rules over the text of a log.
std::optional<std::vector<RecordedWindow>> parseWindowLog(const std::string& text,
                                                          std::uint64_t rawBytes);

// Main thread, before an append and at start-up. The bytes of the raw file of
// `gesture` that its window log accounts for. A raw file longer than that
// holds the end of an append that never finished (the server was killed, the
// disk filled): it is cut back to its last logged window, with a log line.
// Nothing when the log is missing or malformed, or accounts for more bytes
// than the raw file holds: the file's windows are then unknown and it is left
// as it is.
std::optional<std::uint64_t> settleRawFile(int gesture);

// Starts an empty window log for a raw file that holds nothing yet; the
// result says why when it cannot be written.
FileWrite startWindowLog(int gesture);

// The text of a log of these windows.
std::string windowLogText(const std::vector<RecordedWindow>& windows);
