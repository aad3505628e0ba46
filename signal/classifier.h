// The gesture classifier: turns a stream of half-overlapping raw windows into a
// smoothed gesture decision.
//
// For each window it removes a slowly adapting per-channel baseline, watches
// the variance of the summed activity for the start and end of a movement and,
// while a movement is under way, lets every pair classifier vote on the
// per-channel mean absolute values. The winner is smoothed over the last three
// windows; once a class has been decided three times within a movement, the
// result holds to the class decided most often.
//
// All arithmetic is in 32-bit floats, sums taken in increasing index order.
// Called only by the identification thread, which owns the Identifier.
#pragma once

#include <cstdint>
#include <span>

#include "signal/identifier.h"

// Classifies one window of D x 130 bytes (130 frames of D samples, D =
// identifier.channels); only its first D x 65 bytes are used, the rest of the
// previous window's first half supplies the other 65 frames.
// Returns 0 for no gesture (first window after a load, no movement, or no agreed
// decision), otherwise a class position 1 to G. A window shorter than D x 65
// bytes, or an identifier that holds no model, gives 0 and changes nothing.
int classifyWindow(std::span<const std::uint8_t> window, Identifier& identifier,
                   const PairTable& pairTable);

// The vote of every pair classifier on one window's features (`channels`
// values): the class with most votes wins, the highest position among equals.
// Returns a position 1 to `gestures`.
std::int32_t pairVoteWinner(const float* features, int channels, int gestures,
                            const PairTable& pairTable);

// Given 130 frames of D bytes, fills centred (130 x D floats, frame-major) with
// each sample minus its channel's baseline from before the window, then moves
// every baseline halfway towards its channel's mean over the window.
// frames must hold 130 x D bytes and centred room for 130 x D floats.
void centreWindow(std::span<const std::uint8_t> frames, std::span<float> centred,
                  Identifier& identifier);
