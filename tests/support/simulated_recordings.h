// Raw recordings made by the simulated armband's wearer, the same bytes every
// time for the same arguments: 650 frames a second of the first `channels`
// electrodes, as a raw file holds them.
#pragma once

#include <cstdint>
#include <vector>

enum class WearerDoes { perform, rest, hold };

// `seconds` of the wearer performing gesture (1..15) again and again with
// rests between (perform), resting throughout (rest) or holding it throughout
// (hold).
std::vector<std::uint8_t> simulatedRecording(int gesture, int channels, int seconds,
                                             std::uint64_t seed,
                                             WearerDoes does = WearerDoes::perform);

// Writes "raw" + g + ".bin" with 30 s of gesture g performed, for each g.
void writeSimulatedRawFiles(const std::vector<int>& gestures, int channels, std::uint64_t seed);
