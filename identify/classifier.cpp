#include "identify/classifier.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "identify/classifier_steps.h"

// The onset test divides by a variance that may be 0: IEEE arithmetic makes
// that an infinity (or, for 0 / 0, a value that compares false with anything).
static_assert(std::numeric_limits<float>::is_iec559, "IEEE single precision required");

namespace {

constexpr float kFrames = static_cast<float>(kWindowFrames);

// Activity variance below which, in two windows running, a movement has ended.
constexpr float kQuietVariance = 200.0f;
// A class decided this often within a movement holds the result.
constexpr std::uint32_t kHoldCount = 3;
constexpr std::int32_t kMinActiveWindows = 3;

void storeFirstHalf(std::span<const std::uint8_t> window, Identifier& identifier) {
    std::memcpy(identifier.previousHalf.data(), window.data(),
                static_cast<std::size_t>(identifier.channels) * kHalfWindowFrames);
}

// Per-frame activity, then the level and the variance of this window, which
// become the current ones (the current variance moves to the previous one once
// a level has been seen).
void measureActivity(const float* centred, Identifier& identifier) {
    const int channels = identifier.channels;
    for (int t = 0; t < kWindowFrames; ++t) {
        float sum = 0.0f;
        for (int c = 0; c < channels; ++c) {
            sum += centred[t * channels + c];
        }
        identifier.activity[static_cast<std::size_t>(t)] = sum;
    }
    float absoluteSum = 0.0f;
    float sum = 0.0f;
    for (const float a : identifier.activity) {
        absoluteSum += std::fabs(a);
        sum += a;
    }
    const float level = absoluteSum / kFrames;
    const float mean = sum / kFrames;
    float squares = 0.0f;
    for (const float a : identifier.activity) {
        const float d = a - mean;
        squares += d * d;
    }
    const float variance = squares / kFrames;

    if (identifier.curLevel != 0.0f) {
        identifier.prevVariance = identifier.curVariance;
    }
    identifier.curLevel = level;
    identifier.curVariance = variance;
}

void measureFeatures(const float* centred, Identifier& identifier) {
    const int channels = identifier.channels;
    for (int c = 0; c < channels; ++c) {
        float sum = 0.0f;
        for (int t = 0; t < kWindowFrames; ++t) {
            sum += std::fabs(centred[t * channels + c]);
        }
        identifier.features[static_cast<std::size_t>(c)] = sum / kFrames;
    }
}

// Every pair classifier votes; the class with most votes wins, the highest
// position among equals. Returns a position 1 to G.
std::int32_t voteWinner(const Identifier& identifier, const PairTable& pairTable) {
    const int gestures = identifier.gestures;
    const int channels = identifier.channels;
    std::array<std::int32_t, kMaxGestures> votes{};
    std::size_t p = 0;
    for (int k = 0; k < gestures; ++k) {
        for (int l = k + 1; l < gestures; ++l, ++p) {
            const PairRow& row = pairTable[p];
            float v = row[0];
            for (int c = 0; c < channels; ++c) {
                v = v + row[static_cast<std::size_t>(1 + c)] *
                            identifier.features[static_cast<std::size_t>(c)];
            }
            ++votes[static_cast<std::size_t>(v >= 0.0f ? k : l)];
        }
    }
    std::int32_t max = votes[0];
    std::int32_t winner = 0;
    for (int d = 0; d < gestures; ++d) {
        if (votes[static_cast<std::size_t>(d)] >= max) {
            winner = d + 1;
            max = votes[static_cast<std::size_t>(d)];
        }
    }
    return winner;
}

// Smooths the winner over the last three windows, counts the decision and
// returns the held class once one has been decided often enough.
int decide(std::int32_t winner, Identifier& identifier) {
    identifier.h0 = identifier.h1;
    identifier.h1 = identifier.h2;
    identifier.h2 = winner;

    std::int32_t smoothed = 0;
    if (winner == identifier.h0 || winner == identifier.h1) {
        smoothed = winner;
    } else if (identifier.h0 == identifier.h1) {
        smoothed = identifier.h1;
    }
    if (smoothed != 0) {
        ++identifier.decisionCounts[static_cast<std::size_t>(smoothed)];
    }

    int held = 0;
    std::uint32_t heldCount = 0;
    for (int k = 1; k <= identifier.gestures; ++k) {
        if (identifier.decisionCounts[static_cast<std::size_t>(k)] >= heldCount) {
            held = k;
            heldCount = identifier.decisionCounts[static_cast<std::size_t>(k)];
        }
    }
    return heldCount >= kHoldCount ? held : smoothed;
}

void endMovementWhenQuiet(Identifier& identifier) {
    ++identifier.activeCount;
    if (identifier.activeCount >= kMinActiveWindows && identifier.prevVariance < kQuietVariance &&
        identifier.curVariance < kQuietVariance) {
        identifier.idle = true;
        identifier.decisionCounts.fill(0);
        identifier.h0 = 0;
        identifier.h1 = 0;
        identifier.h2 = 0;
    }
}

}  // namespace

bool movementStarts(float prevVariance, float curVariance) {
    return (curVariance / prevVariance > 4.0f && curVariance > 100.0f) ||
           (prevVariance > 200.0f && curVariance > 200.0f);
}

void centreWindow(std::span<const std::uint8_t> frames, std::span<float> centred,
                  Identifier& identifier) {
    const int channels = identifier.channels;
    for (int t = 0; t < kWindowFrames; ++t) {
        for (int c = 0; c < channels; ++c) {
            const std::size_t i = static_cast<std::size_t>(t * channels + c);
            centred[i] =
                static_cast<float>(frames[i]) - identifier.baseline[static_cast<std::size_t>(c)];
        }
    }
    for (int c = 0; c < channels; ++c) {
        float sum = 0.0f;
        for (int t = 0; t < kWindowFrames; ++t) {
            sum += static_cast<float>(frames[static_cast<std::size_t>(t * channels + c)]);
        }
        float& baseline = identifier.baseline[static_cast<std::size_t>(c)];
        baseline = 0.5f * sum / kFrames + 0.5f * baseline;
    }
}

int classifyWindow(std::span<const std::uint8_t> window, Identifier& identifier,
                   const PairTable& pairTable) {
    const std::size_t channels = identifier.channels;
    const std::size_t halfBytes = channels * kHalfWindowFrames;
    if (channels < 1 || channels > kMaxChannels || identifier.gestures < 2 ||
        identifier.gestures > kMaxGestures || window.size() < halfBytes) {
        return 0;
    }
    if (!identifier.primed) {
        storeFirstHalf(window, identifier);
        identifier.primed = true;
        return 0;
    }

    std::array<std::uint8_t, kMaxChannels * kWindowFrames> frames;
    std::memcpy(frames.data(), identifier.previousHalf.data(), halfBytes);
    std::memcpy(frames.data() + halfBytes, window.data(), halfBytes);
    std::array<float, kMaxChannels * kWindowFrames> centred;
    centreWindow(std::span(frames.data(), 2 * halfBytes), centred, identifier);
    measureActivity(centred.data(), identifier);

    if (identifier.idle) {
        identifier.activeCount = 0;
        if (movementStarts(identifier.prevVariance, identifier.curVariance)) {
            identifier.idle = false;
        }
        storeFirstHalf(window, identifier);
        return 0;
    }

    measureFeatures(centred.data(), identifier);
    const int result = decide(voteWinner(identifier, pairTable), identifier);
    endMovementWhenQuiet(identifier);
    storeFirstHalf(window, identifier);
    return result;
}
