// Where a wearer's calibration is kept: "calibration.txt" beside "W&B.txt" in
// the working directory, written when a model is trained from the wearer's
// recordings, read when calibrated identification starts.
//
// The file holds one "name value" line per level, values as "%f":
//   rest_variance, active_variance, on_threshold, off_threshold, rest_found
#pragma once

#include <cstdint>
#include <string>

#include "identify/calibration.h"

inline constexpr const char* kCalibrationFileName = "calibration.txt";

// The file's text for a calibration.
std::string calibrationText(const Calibration& calibration);
// Reads a calibration from that text; false, with calibration untouched, when
// a level is missing, not a number, or not positive, or the start threshold
// is below the end threshold.
bool parseCalibration(const std::string& text, Calibration& calibration);

// Replaces "calibration.txt" whole; false when it cannot be written. Main thread.
bool writeCalibrationFile(const Calibration& calibration);
// False when "calibration.txt" is missing or malformed.
bool readCalibrationFile(Calibration& calibration);

// The calibration of the recordings "raw" + n + ".bin" in the working
// directory of every gesture n in gestureMask, recorded with the channels of
// channelMask. False, with a log line, when a file cannot be read, was
// recorded with other channels, or nothing can be measured.
bool calibrateFromRawFiles(std::uint8_t gestureMask, std::uint8_t channelMask,
                           Calibration& calibration);

// What calibrated identification uses when no calibration can be had: the
// fixed levels of the exact mode (a movement from 200 to 100). Logged by the
// caller.
Calibration fallbackCalibration();
