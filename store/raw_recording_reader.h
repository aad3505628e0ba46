// Reading a raw recording, "raw" + gesture + ".bin", with the channels its
// windows were recorded with. Every reader of a raw file (the exports, the
// inventory, the evaluation, calibration and training) goes through
// readRawRecording, so that none reads a file's frames with the channels that
// happen to be configured now. Main thread: the working directory's files
// belong to it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/window_log.h"

struct RawRecording {
    std::uint64_t size = 0;           // bytes in the file
    std::vector<std::uint8_t> bytes;  // read only when asked for
    // The channels of every frame, bit 0 = channel 1: the ones its windows
    // were recorded with, or, for a file made before windows were logged (or
    // holding none), the configured ones.
    std::uint8_t channelMask = 0;
    int channels = 0;
    std::optional<std::vector<RecordedWindow>> windows;  // nothing: no (usable) window log
    std::string problem;                                 // a refusal, in words
    // Why the file could not be opened or read, in the system's words; empty
    // when it was read, or refused for what it holds.
    std::string failure;
};

enum class RawRecordingRead {
    read,
    missing,
    tooLarge,       // larger than the caller takes
    mixedChannels,  // its windows were recorded with different channels
    otherChannels,  // recorded with other channels than the configured ones
    noChannels,     // made without a window log, and no channels are configured
    failed,
};

struct RawRecordingWants {
    std::uint8_t configuredMask = 0;
    // Refuse a file recorded with other channels than configuredMask.
    bool configuredChannels = false;
    // Read the bytes too (otherwise only the size and the channels).
    bool bytes = true;
    // A larger file is refused when its bytes are wanted.
    std::uint64_t maxBytes = 0;
};

RawRecordingRead readRawRecording(int gesture, const RawRecordingWants& wants, RawRecording& out);

// "0x0f".
std::string channelMaskText(std::uint8_t mask);
