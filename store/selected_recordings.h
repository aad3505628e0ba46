// Reading the raw recordings of the selected gestures: the one place where
// training, the evaluation and the recogniser read "rawN.bin" back.
//
// Main thread (the working directory's files belong to it).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <string>

#include "store/raw_recording_reader.h"

struct GestureRecording {
    int gesture = 0;  // 1 to 8
    std::vector<std::uint8_t> bytes;
};

struct RecordingRefused {
    int gesture = 0;
    RawRecordingRead read = RawRecordingRead::failed;  // anything but read
    std::string problem;                               // in words
    std::string failure;  // the system's reason when it could not be opened or read
};

// Reads "raw" + n + ".bin" of every gesture n whose bit n - 1 is set in
// gestureMask, in increasing order, each at most maxBytes and recorded with
// the channels of channelMask (readRawRecording), and hands it to `use`,
// which may keep the bytes (move them out). Stops at the first file that
// cannot be read and says which and why; nothing when all were read.
std::optional<RecordingRefused> readSelectedRecordings(
    std::uint8_t gestureMask, std::uint8_t channelMask, std::size_t maxBytes,
    const std::function<void(GestureRecording& recording)>& use);
