// Raw recordings in formats other tools read: CSV text and EDF+. Both hold
// every whole frame of the raw bytes exactly, one column or signal per enabled
// channel, at 650 frames a second; a trailing incomplete frame is left out, as
// training leaves it out.
//
// An export reads its raw file piece by piece as it is sent, so a recording of
// any size is exported in bounded memory. The file is opened when the export
// is made (main thread): a window appended, a window deleted or the recording
// deleted meanwhile (each of which writes a new file or extends this one)
// leaves the export as it was. The EDF+ file is written first to a temporary
// file of its own outside the working directory (libedf writes only to files),
// so only one thread at a time may make an EDF+ export.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/body_stream.h"
#include "store/window_log.h"

struct ExportSource {
    std::string path;              // the raw file
    std::uint64_t length = 0;      // the bytes of it to export, from its start
    std::uint8_t channelMask = 0;  // which channels the frames hold, bit 0 = channel 1
    int gesture = 0;
    std::string gestureName;  // may be empty
    // The windows the file was recorded in, when known: each gets an annotation.
    std::optional<std::vector<RecordedWindow>> windows;
    std::int64_t startTime = 0;  // seconds since 1970 at the first frame; 0 unknown
};

// A header line "time_s,ch1,ch2,..." (the enabled channels' numbers), then one
// line per frame: the time in seconds (frame / 650, six decimals) and each
// channel's raw value 0 to 255. Nothing, with `error` in words, when the file
// cannot be opened.
std::unique_ptr<BodyStream> csvExport(const ExportSource& source, std::string& error);

// An EDF+ file: one signal per enabled channel labelled "EMG chN", digital and
// physical range 0 to 255 (the armband's ADC counts, "ADU"), 650 Hz in data
// records of 0.1 s (65 frames), and an annotation "recording window K" at the
// start of each known window. EDF+ records are whole: when the frames do not
// fill the last record, it is completed by repeating the last frame, and an
// annotation "end of recording" marks where the recorded frames end.
// Nothing, with `error` in words, when the file cannot be read or libedf refuses.
std::unique_ptr<BodyStream> edfExport(const ExportSource& source, std::string& error);

inline constexpr int kEdfRecordFrames = 65;
