// Which recordings the working directory holds: for every gesture 1 to 8 with
// a raw file, its size, how many frames and seconds of EMG that is (with the
// channels it was recorded with), how many recording windows were appended
// (from the window log; unknown without one), how many more it takes and how
// many analysis windows feature extraction would keep. Reading an entry
// without its analysis reads only the window log; its analysis reads the whole
// recording, which the background worker does (inventory_cache.h keeps the
// results). Any one thread at a time per file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pipeline/model_generation.h"
#include "signal/recording_analysis.h"
#include "store/window_log.h"

// Raw files larger than training takes are listed but not analysed or
// evaluated: about a hundred 30-second windows of all 8 channels.
inline constexpr std::uint64_t kMaxAnalysedRawBytes = kMaxRawFileBytes;

struct RecordingEntry {
    int gesture = 0;
    std::uint64_t bytes = 0;
    std::int64_t modifiedTime = 0;  // seconds since 1970
    bool selected = false;          // in the configured gesture mask
    // The channels its frames were recorded with (see readRawRecording); 0
    // when unknown or when its windows disagree.
    std::uint8_t channelMask = 0;
    int channels = 0;
    std::uint64_t frames = 0;
    double seconds = 0.0;
    std::optional<std::vector<RecordedWindow>> windows;  // nothing: unknown
    std::optional<std::size_t> activeWindows;            // nothing: not analysed
    std::optional<ActivityFinding> finding;
    // Windows of the configured channels it can still take before training
    // refuses it; nothing when no channels are known.
    std::optional<std::uint64_t> windowsLeft;
    std::vector<std::string> notes;  // what a person should know, in words
    // The recording can be analysed (it reads as one recording, within the
    // size analysed): without its analysis, its activity is still to be found.
    bool analysable = false;
};

// What the analysis of a recording's bytes finds, read with the channels of
// channelMask.
struct RecordingActivity {
    std::size_t activeWindows = 0;
    ActivityFinding finding{};
    std::uint8_t channelMask = 0;
};

// The raw files "raw1.bin" to "raw8.bin" present, in gesture order, read with
// the given configuration (channelMask 0: none configured).
std::vector<RecordingEntry> takeInventory(std::uint8_t channelMask, std::uint8_t gestureMask);

// The entry of one gesture; nothing when it has no raw file. Without
// `analyse` the bytes are not read and the activity is left unknown.
std::optional<RecordingEntry> inventoryEntry(int gesture, std::uint8_t channelMask,
                                             std::uint8_t gestureMask, bool analyse = true);

// Puts an analysis into an analysable entry.
void addActivity(RecordingEntry& entry, const RecordingActivity& activity);

// Reads and analyses the recording of `gesture` with the channels its window
// log names (channelMask: the configured ones, for a file without a log);
// nothing when it cannot be analysed.
std::optional<RecordingActivity> analyseRecordingActivity(int gesture, std::uint8_t channelMask);

// How many more windows of `windowBytes` a raw file holding `rawBytes` takes
// before it passes kMaxRawFileBytes, the most that training takes.
std::uint64_t windowsLeft(std::uint64_t rawBytes, std::uint64_t windowBytes);
