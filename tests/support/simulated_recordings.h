// Raw recordings made by the simulated armband's wearer, the same bytes every
// time for the same arguments: 650 frames a second of the first `channels`
// electrodes, as a raw file holds them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class WearerDoes { perform, rest, hold };

// `seconds` of the wearer performing gesture (1..15) again and again with
// rests between (perform), resting throughout (rest) or holding it throughout
// (hold).
std::vector<std::uint8_t> simulatedRecording(int gesture, int channels, int seconds,
                                             std::uint64_t seed,
                                             WearerDoes does = WearerDoes::perform);

// Writes, in `dir`, "raw" + g + ".bin" and its window log for each gesture 1
// to 8: `windows` windows of 30 s of 8 channels each, as recordings leave them.
void writeSimulatedWindows(const std::string& dir, int windows);

// Writes "raw" + g + ".bin" with 30 s of gesture g performed, for each g.
void writeSimulatedRawFiles(const std::vector<int>& gestures, int channels, std::uint64_t seed);
