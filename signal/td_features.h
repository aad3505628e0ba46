// The time-domain features of a window of raw EMG, channel by channel: how
// strongly each muscle group fires (mean absolute value), how much the signal
// moves (waveform length), and how often it crosses its mean and turns (zero
// crossings and slope sign changes).
//
// The amplitudes are taken as logarithms: a wearer whose levels are twice as
// high on another day shifts every amplitude feature by the same amount
// instead of scaling them, and rest noise a hundred times below a gesture
// stays within reach of a linear classifier. The crossings and turns do not
// depend on the level; they are counted without a dead band (a dead band of a
// few counts makes them depend on the level again, which measured worse on
// wearers whose level moved between days), and a turn is counted between one
// step and the last step that moved, so a signal held flat for a few frames
// (samples repeated by a slower converter) turns where it really turns.
//
// Plain functions over plain arrays; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kTdFeaturesPerChannel = 4;
inline constexpr std::size_t kMaxTdChannels = 8;
inline constexpr std::size_t kMaxTdFeatures = kTdFeaturesPerChannel * kMaxTdChannels;

// Fills out[channels x 4] from `frames` frames of `channels` bytes (row-major,
// one byte per channel): for channel c,
//   out[4c]     log(mean absolute deviation from the channel's mean + 0.05)
//   out[4c + 1] log(mean absolute step from one frame to the next + 0.05)
//   out[4c + 2] the share of steps that cross the channel's mean
//   out[4c + 3] the share of steps that turn the slope of the last moving step
// The floor of 0.05 counts keeps a flat channel finite. channels must be 1
// to 8 and frames at least 2.
void tdFeatures(const std::uint8_t* window, std::size_t frames, std::size_t channels, float* out);

// The window's level: the mean over its channels of out[4c], the log mean
// absolute value.
float tdLevel(const float* features, std::size_t channels);
