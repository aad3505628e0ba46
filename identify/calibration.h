// A wearer's movement levels, measured on their own recordings: how much the
// summed activity of the channels varies at rest and while a gesture is held,
// and the thresholds between them at which calibrated identification sees a
// movement start and end.
//
// Levels are the variance over a 130-frame window of the per-frame sum of the
// channels' samples, as calibrated identification measures them live.
// Plain functions over plain records; any thread may call them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct Calibration {
    float restVariance = 0.0f;    // typical window at rest
    float activeVariance = 0.0f;  // a weak window of the weakest gesture
    float onThreshold = 0.0f;     // a movement starts above this
    float offThreshold = 0.0f;    // and has ended below this
    // False when no recording held any rest: restVariance is then an estimate
    // drawn from the activity alone.
    bool restFound = false;
};

// One recording's windows (non-overlapping, 130 frames), split as feature
// extraction splits them into quiet and active ones.
struct RecordingLevels {
    int gesture = 0;
    std::vector<float> quiet;   // variances of the quiet windows
    std::vector<float> active;  // and of the active ones
};

// The levels of `length` raw bytes of frames of `channels` bytes.
RecordingLevels measureRecording(int gesture, const std::uint8_t* data, std::size_t length,
                                 std::size_t channels);

// Whether the recording holds rest that its activity clearly stands above.
bool recordingHasRest(const RecordingLevels& levels);

// The calibration of a wearer from their recordings of every gesture. A
// recording without rest is left out of the rest level, and logged; with no
// rest in any recording the rest level is estimated from the weakest activity
// and that is logged too. False, with a log line, when no recording has
// enough active windows to measure anything.
bool calibrateFromRecordings(const std::vector<RecordingLevels>& recordings,
                             Calibration& calibration);

// The thresholds for a rest level and a weakest activity level.
void setThresholds(Calibration& calibration);
