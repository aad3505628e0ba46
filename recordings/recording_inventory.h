// Which recordings the working directory holds: for every gesture 1 to 8 with
// a raw file, its size, how many frames and seconds of EMG that is, how many
// recording windows were appended (from the window log; unknown without one)
// and how many analysis windows feature extraction would keep. Main thread
// (it reads the working directory's files).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "evaluation/recording_analysis.h"
#include "recordings/window_log.h"
#include "training/model_generation.h"

// Raw files larger than training takes are listed but not analysed or
// evaluated: about a hundred 30-second windows of all 8 channels.
inline constexpr std::uint64_t kMaxAnalysedRawBytes = kMaxRawFileBytes;

struct RecordingEntry {
    int gesture = 0;
    std::uint64_t bytes = 0;
    std::int64_t modifiedTime = 0;  // seconds since 1970
    bool selected = false;          // in the configured gesture mask
    // The channel layout the frames are counted with: the configured one, or,
    // with none configured, the one the window log recorded. 0 when unknown.
    std::uint8_t channelMask = 0;
    int channels = 0;
    std::uint64_t frames = 0;
    double seconds = 0.0;
    std::optional<std::vector<RecordedWindow>> windows;  // nothing: unknown
    std::optional<std::size_t> activeWindows;            // nothing: not analysed
    std::optional<ActivityFinding> finding;
    std::vector<std::string> notes;  // what a person should know, in words
};

// The raw files "raw1.bin" to "raw8.bin" present, in gesture order, read with
// the given configuration (channelMask 0: none configured).
std::vector<RecordingEntry> takeInventory(std::uint8_t channelMask, std::uint8_t gestureMask);

// The entry of one gesture; nothing when it has no raw file.
std::optional<RecordingEntry> inventoryEntry(int gesture, std::uint8_t channelMask,
                                             std::uint8_t gestureMask, bool analyse = true);

// The channel layout the bytes of a raw file are read with: the configured
// mask, or the one every logged window agrees on; 0 when neither is known.
std::uint8_t recordingChannelMask(std::uint8_t configuredMask,
                                  const std::optional<std::vector<RecordedWindow>>& windows);
