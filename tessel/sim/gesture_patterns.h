// How strongly each gesture drives the eight electrodes around the forearm.
//
// The patterns are fixed, whatever the seed, so a gesture looks alike in every
// session; the seed only varies noise, timing and repetitions. Gesture 0
// (Relax) drives nothing. Neighbouring gestures overlap on purpose: they differ
// in shape and strength, not in which electrode alone is active.
#pragma once

#include <cstdint>

namespace tessel::sim {

inline constexpr int kElectrodes = 8;
inline constexpr int kGestures = 16;  // 0 Relax, 1..15

// Standard deviation, in counts, of electrode c's signal while gesture g is
// fully held by an average repetition.
float gestureAmplitude(int gesture, int electrode);

// Resting level of electrode c, in counts (between 122 and 124).
float electrodeOffset(int electrode);

}  // namespace tessel::sim
