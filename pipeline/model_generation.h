// The work of the GENERATE_MODEL command: from the raw recordings of the
// selected gestures to a trained "W&B.txt".
//
// The background worker runs it (it reads and writes files in the working
// directory); a running identification is told to load the new model by the
// main thread once it is done.
#pragma once

#include <cstdint>
#include <stop_token>
#include <vector>

// The largest raw file training takes: about a hundred 30-second recordings
// of all 8 channels. Extraction holds about nine bytes per raw byte at once,
// so training stays within about 150 MB.
inline constexpr unsigned long long kMaxRawFileBytes = 16ull * 1024 * 1024;

// Refuses at once, appending FF and changing no file, when a selected raw file
// is larger than kMaxRawFileBytes. Otherwise starts clean by removing
// "feature1.txt" to "feature8.txt"; extracts the
// features of "raw" + n + ".bin" for every gesture n whose bit n - 1 is set in
// gestureMask, frames of the channels in channelMask (a file recorded with
// other channels counts as one that cannot be read); checks that every
// selected gesture has its feature file;
// renumbers them so that the k-th selected gesture is "feature" + k + ".txt";
// trains every pair into "W&B.txt"; on success remembers the gesture mask in
// "W&B.gestures", writes the recogniser of the calibrated mode (trained on the
// same recordings) to "recogniser.txt" and removes the feature files. Appends
// to response the status bytes that follow the command's 0x0A:
//   00     trained
//   EE     a selected feature file is missing after extraction
//   FF     training failed (fewer than two gestures, a gesture without active
//          windows, a file that cannot be written); "W&B.txt" is as it was
// A raw file that cannot be read appends FF first, skips the later gestures'
// extraction and the steps above still follow (FF EE, FF FF or FF 00).
//   FD     `stop` was asked before the new model replaced the old one, which
//          stays (only FD is appended then)
void generateModelFromRecordings(std::uint8_t gestureMask, std::uint8_t channelMask,
                                 std::vector<std::uint8_t>& response, std::stop_token stop = {});
