// Raw recordings in formats other tools read: CSV text and EDF+. Both hold
// every whole frame of the raw bytes exactly, one column or signal per enabled
// channel, at 650 frames a second; a trailing incomplete frame is left out, as
// training leaves it out.
//
// Plain functions over bytes in memory; the EDF+ writer goes through a
// temporary file of its own outside the working directory (libedf writes only
// to files), so only one thread at a time may export EDF+.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recordings/window_log.h"

// The largest raw file exported: 4 MiB, about 27 thirty-second windows of all
// 8 channels. Its CSV text is about 24 MB and its EDF+ file about 9 MB.
inline constexpr std::uint64_t kMaxExportedRawBytes = 4ull * 1024 * 1024;

struct ExportSource {
    const std::uint8_t* bytes = nullptr;
    std::size_t length = 0;
    std::uint8_t channelMask = 0;  // which channels the frames hold, bit 0 = channel 1
    int gesture = 0;
    std::string gestureName;  // may be empty
    // The windows the file was recorded in, when known: each gets an annotation.
    std::optional<std::vector<RecordedWindow>> windows;
    std::int64_t startTime = 0;  // seconds since 1970 at the first frame; 0 unknown
};

// A header line "time_s,ch1,ch2,..." (the enabled channels' numbers), then one
// line per frame: the time in seconds (frame / 650, six decimals) and each
// channel's raw value 0 to 255.
std::string recordingCsv(const ExportSource& source);

// An EDF+ file: one signal per enabled channel labelled "EMG chN", digital and
// physical range 0 to 255 (the armband's ADC counts, "ADU"), 650 Hz in data
// records of 0.1 s (65 frames), and an annotation "recording window K" at the
// start of each known window. EDF+ records are whole: when the frames do not
// fill the last record, it is completed by repeating the last frame, and an
// annotation "end of recording" marks where the recorded frames end.
// False, with `error` in words, when libedf refuses.
bool recordingEdf(const ExportSource& source, std::string& file, std::string& error);

inline constexpr int kEdfRecordFrames = 65;
