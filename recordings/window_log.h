// The window log of a raw recording: beside "rawN.bin", "rawN.windows" holds
// one line per recording window appended to it,
//   <first byte> <bytes> <channel mask> <unix time of the window's end>
// so that a client can tell how many windows a file holds, when they were
// made and with which channels. The log is written in the same step that
// appends the window to the raw file (main thread), and a log that does not
// account for every byte of its raw file is out of step: its windows are then
// unknown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
// windows stay unknown. False when the log could not be written.
bool logRecordedWindow(int gesture, std::uint64_t bytesBefore, std::uint64_t bytes,
                       std::uint8_t channelMask, std::int64_t endTime);

// The windows of the raw file of `gesture`, which holds `rawBytes` bytes, or
// nothing when the log is missing, malformed or out of step with the file.
std::optional<std::vector<RecordedWindow>> readWindowLog(int gesture, std::uint64_t rawBytes);

// The same rules over the text of a log.
std::optional<std::vector<RecordedWindow>> parseWindowLog(const std::string& text,
                                                          std::uint64_t rawBytes);
