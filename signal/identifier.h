// The state the classifier keeps between windows, and the pair table it reads.
//
// Both belong to the identification thread: it resets them at every model load
// and hands them to classifyWindow for each window. Nothing here is locked.
#pragma once

#include <array>
#include <cstdint>

// One identification window spans 130 frames; a new window starts every 65.
inline constexpr int kWindowFrames = 130;
inline constexpr float kWindowFramesAsFloat = static_cast<float>(kWindowFrames);
inline constexpr int kHalfWindowFrames = 65;
inline constexpr int kMaxChannels = 8;
inline constexpr int kMaxGestures = 8;
inline constexpr int kMaxPairs = kMaxGestures * (kMaxGestures - 1) / 2;  // 28

// One row per gesture pair, in pair order (1,2), (1,3), ..., (G-1,G): the bias,
// then one weight per channel. A weighted sum of 0 or more votes for the first
// gesture of the pair.
using PairRow = std::array<float, 1 + kMaxChannels>;
using PairTable = std::array<PairRow, kMaxPairs>;

struct Identifier {
    // Model load: D channels (1 to 8) and G gestures (2 to 8); everything else
    // back to its initial value. Out-of-range counts leave channels at 0, which
    // classifyWindow treats as "no model".
    void reset(int channelCount, int gesturesInModel);

    std::array<float, kMaxChannels> baseline{};   // running per-channel offset of the samples
    std::uint8_t channels = 0;                    // D
    std::uint8_t gestures = 0;                    // G
    std::array<float, kWindowFrames> activity{};  // per-frame sum of centred samples
    // First half (65 frames) of the last window received, D bytes per frame.
    std::array<std::uint8_t, kMaxChannels * kHalfWindowFrames> previousHalf{};
    bool primed = false;  // a first window has been received
    bool idle = true;     // no movement under way
    // The last three winners before smoothing, oldest first.
    std::int32_t h0 = 0;
    std::int32_t h1 = 0;
    std::int32_t h2 = 0;
    float curLevel = 0.0f;  // mean absolute activity of the current window
    float prevVariance = 0.0f;
    float curVariance = 0.0f;
    std::array<float, kMaxChannels> features{};  // per-channel mean absolute value
    std::int32_t activeCount = 0;                // windows classified in this movement
    // Smoothed decisions per class within the movement; index 0 is unused.
    std::array<std::uint32_t, kMaxGestures + 1> decisionCounts{};
};
