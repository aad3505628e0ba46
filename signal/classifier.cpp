#include "signal/classifier.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "signal/classifier_steps.h"

// The onset test divides by a variance that may be 0: IEEE arithmetic makes
// that an infinity (or, for 0 / 0, a value that compares false with anything).
static_assert(std::numeric_limits<float>::is_iec559, "IEEE single precision required");

namespace {

// Activity variance below which, in two windows running, a movement has ended.
constexpr float kQuietVariance = 200.0f;
// A class decided this often within a movement holds the result.
constexpr std::uint32_t kHoldCount = 3;
constexpr std::int32_t kMinActiveWindows = 3;

void storeFirstHalf(std::span<const std::uint8_t> window, Identifier& identifier) {
    std::memcpy(identifier.previousHalf.data(), window.data(),
                static_cast<std::size_t>(identifier.channels) * kHalfWindowFrames);
}

// The per-frame loops, one instance per channel count so that the compiler
// sees D. Each channel's sum still runs over the frames in order; only
// independent sums are interleaved.
template <int D>
struct WindowKernels {
    // The 130 frames are the 65 of earlyHalf, then the 65 of lateHalf.
    static void centre(const std::uint8_t* earlyHalf, const std::uint8_t* lateHalf, float* centred,
                       float* baseline) {
        float before[D];
        for (int c = 0; c < D; ++c) {
            before[c] = baseline[c];
        }
        // Sums of at most 130 bytes are exact in a float, in any order.
        std::int32_t sums[D] = {};
        centreHalf(earlyHalf, centred, before, sums);
        centreHalf(lateHalf, centred + kHalfWindowFrames * D, before, sums);
        for (int c = 0; c < D; ++c) {
            baseline[c] =
                0.5f * static_cast<float>(sums[c]) / kWindowFramesAsFloat + 0.5f * before[c];
        }
    }

    static void centreHalf(const std::uint8_t* __restrict half, float* __restrict centred,
                           const float (&before)[D], std::int32_t (&sums)[D]) {
        float offset[D];
        std::int32_t total[D];
        for (int c = 0; c < D; ++c) {
            offset[c] = before[c];
            total[c] = sums[c];
        }
        for (int t = 0; t < kHalfWindowFrames; ++t) {
            for (int c = 0; c < D; ++c) {
                const std::int32_t sample = half[t * D + c];
                centred[t * D + c] = static_cast<float>(sample) - offset[c];
                total[c] += sample;
            }
        }
        for (int c = 0; c < D; ++c) {
            sums[c] = total[c];
        }
    }

    static void activity(const float* centred, float* activity) {
        for (int t = 0; t < kWindowFrames; ++t) {
            float sum = 0.0f;
            for (int c = 0; c < D; ++c) {
                sum += centred[t * D + c];
            }
            activity[t] = sum;
        }
    }

    static void features(const float* centred, float* features) {
        float sums[D] = {};
        for (int t = 0; t < kWindowFrames; ++t) {
            for (int c = 0; c < D; ++c) {
                sums[c] += std::fabs(centred[t * D + c]);
            }
        }
        for (int c = 0; c < D; ++c) {
            features[c] = sums[c] / kWindowFramesAsFloat;
        }
    }
};

struct KernelSet {
    void (*centre)(const std::uint8_t*, const std::uint8_t*, float*, float*);
    void (*activity)(const float*, float*);
    void (*features)(const float*, float*);
};

template <int D>
constexpr KernelSet kernelsFor() {
    return {&WindowKernels<D>::centre, &WindowKernels<D>::activity, &WindowKernels<D>::features};
}

// Indexed by the channel count, 1 to 8.
constexpr std::array<KernelSet, kMaxChannels + 1> kKernels = {
    KernelSet{},     kernelsFor<1>(), kernelsFor<2>(), kernelsFor<3>(), kernelsFor<4>(),
    kernelsFor<5>(), kernelsFor<6>(), kernelsFor<7>(), kernelsFor<8>()};

// The level and the variance of this window's activity become the current
// ones; the current variance moves to the previous one once a level was seen.
void measureActivity(Identifier& identifier) {
    float absoluteSum = 0.0f;
    float sum = 0.0f;
    for (const float a : identifier.activity) {
        absoluteSum += std::fabs(a);
        sum += a;
    }
    const float level = absoluteSum / kWindowFramesAsFloat;
    const float mean = sum / kWindowFramesAsFloat;
    float squares = 0.0f;
    for (const float a : identifier.activity) {
        const float d = a - mean;
        squares += d * d;
    }
    const float variance = squares / kWindowFramesAsFloat;

    if (identifier.curLevel != 0.0f) {
        identifier.prevVariance = identifier.curVariance;
    }
    identifier.curLevel = level;
    identifier.curVariance = variance;
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

std::int32_t pairVoteWinner(const float* features, int channels, int gestures,
                            const PairTable& pairTable) {
    std::array<std::int32_t, kMaxGestures> votes{};
    std::size_t p = 0;
    for (int k = 0; k < gestures; ++k) {
        for (int l = k + 1; l < gestures; ++l, ++p) {
            const PairRow& row = pairTable[p];
            float v = row[0];
            for (int c = 0; c < channels; ++c) {
                v = v + row[static_cast<std::size_t>(1 + c)] * features[c];
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

bool movementStarts(float prevVariance, float curVariance) {
    return (curVariance / prevVariance > 4.0f && curVariance > 100.0f) ||
           (prevVariance > 200.0f && curVariance > 200.0f);
}

void centreWindow(std::span<const std::uint8_t> frames, std::span<float> centred,
                  Identifier& identifier) {
    const KernelSet& kernels =
        kKernels[identifier.channels <= kMaxChannels ? identifier.channels : 0];
    if (kernels.centre == nullptr) {
        return;
    }
    kernels.centre(
        frames.data(),
        frames.data() + static_cast<std::size_t>(identifier.channels) * kHalfWindowFrames,
        centred.data(), identifier.baseline.data());
}

int classifyWindow(std::span<const std::uint8_t> window, Identifier& identifier,
                   const PairTable& pairTable) {
    const std::size_t channels = identifier.channels;
    if (channels < 1 || channels > kMaxChannels || identifier.gestures < 2 ||
        identifier.gestures > kMaxGestures || window.size() < channels * kHalfWindowFrames) {
        return 0;
    }
    if (!identifier.primed) {
        storeFirstHalf(window, identifier);
        identifier.primed = true;
        return 0;
    }

    // The previous window's first half, then this one's: 130 frames in a row.
    const KernelSet& kernels = kKernels[channels];
    std::array<float, kMaxChannels * kWindowFrames> centred;
    kernels.centre(identifier.previousHalf.data(), window.data(), centred.data(),
                   identifier.baseline.data());
    kernels.activity(centred.data(), identifier.activity.data());
    measureActivity(identifier);

    if (identifier.idle) {
        identifier.activeCount = 0;
        if (movementStarts(identifier.prevVariance, identifier.curVariance)) {
            identifier.idle = false;
        }
        storeFirstHalf(window, identifier);
        return 0;
    }

    kernels.features(centred.data(), identifier.features.data());
    const int result = decide(pairVoteWinner(identifier.features.data(), identifier.channels,
                                             identifier.gestures, pairTable),
                              identifier);
    endMovementWhenQuiet(identifier);
    storeFirstHalf(window, identifier);
    return result;
}
