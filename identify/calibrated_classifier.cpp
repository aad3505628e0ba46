#include "identify/calibrated_classifier.h"
#include "identify/classifier.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kFrames = static_cast<float>(kWindowFrames);
// Windows running that another class must win to take over within a movement
// (150 ms at a window every 16 frames).
constexpr std::int32_t kWinsToSwitch = 6;
// A movement is young for this many windows after its start: the contraction
// is still rising, so the class follows each window's winner, judged on the
// most recent frames only (60 ms), where the contraction shows most. The
// movement's start and end are judged on those frames too.
constexpr std::int32_t kYoungWindows = 4;
constexpr std::size_t kRecentFrames = 40;
// A movement has ended once its activity falls below this share of the level
// it was held at: the contraction is fading.
constexpr float kFadedShare = 0.15f;
// After a movement ended on its fading tail, a new one starts only once the
// activity rises this many times above the lowest level seen since.
constexpr float kRiseAfterFade = 3.0f;
// Weight of each new window in the level of the movement (log average).
constexpr float kHeldWeight = 0.3f;
// Weight of each quiet window in the live rest level (log average), and how
// far the live level may move from the calibrated one.
constexpr float kRestWeight = 0.0025f;
constexpr float kRestDrift = 2.0f;

// Over frames [from, 130) of the window: the per-channel mean absolute value
// about the channels' means over the whole window, and the variance of the
// per-frame sum of the centred channels.
void measureFrames(const std::uint8_t* frames, std::size_t channels,
                   const std::array<float, kMaxChannels>& means, std::size_t from, float& variance,
                   std::array<float, kMaxChannels>& features) {
    const float count = static_cast<float>(kWindowFrames - from);
    std::array<float, kMaxChannels> absoluteSums{};
    std::array<float, kWindowFrames> activity;
    float activitySum = 0.0f;
    for (std::size_t t = from; t < kWindowFrames; ++t) {
        float frameSum = 0.0f;
        for (std::size_t c = 0; c < channels; ++c) {
            const float centred = static_cast<float>(frames[t * channels + c]) - means[c];
            absoluteSums[c] = absoluteSums[c] + std::fabs(centred);
            frameSum = frameSum + centred;
        }
        activity[t] = frameSum;
        activitySum = activitySum + frameSum;
    }
    const float mean = activitySum / count;
    float squares = 0.0f;
    for (std::size_t t = from; t < kWindowFrames; ++t) {
        const float d = activity[t] - mean;
        squares = squares + d * d;
    }
    variance = squares / count;
    for (std::size_t c = 0; c < channels; ++c) {
        features[c] = absoluteSums[c] / count;
    }
}

void measureWindow(const std::uint8_t* frames, CalibratedIdentifier& state) {
    const std::size_t channels = state.channels;
    std::array<float, kMaxChannels> means{};
    for (std::size_t c = 0; c < channels; ++c) {
        std::int32_t sum = 0;  // exact: at most 130 x 255
        for (std::size_t t = 0; t < kWindowFrames; ++t) {
            sum += frames[t * channels + c];
        }
        means[c] = static_cast<float>(sum) / kFrames;
    }
    measureFrames(frames, channels, means, 0, state.variance, state.features);
    measureFrames(frames, channels, means, kWindowFrames - kRecentFrames, state.recentVariance,
                  state.recentFeatures);
}

// Every pair classifier votes, as in the exact mode; a position 1 to G.
std::int32_t voteWinner(const CalibratedIdentifier& state, const PairTable& pairTable,
                        const std::array<float, kMaxChannels>& features) {
    return pairVoteWinner(features.data(), state.channels, state.gestures, pairTable);
}

// a^(1-w) x b^w: a step of a logarithmic average.
float logStep(float a, float b, float w) {
    return std::exp((1.0f - w) * std::log(a) + w * std::log(b));
}

void followRest(CalibratedIdentifier& state) {
    const float calibrated = state.calibration.restVariance;
    const float level = logStep(state.restLevel, std::max(state.variance, 1e-3f), kRestWeight);
    state.restLevel = std::clamp(level, calibrated / kRestDrift, calibrated * kRestDrift);
}

int startMovement(CalibratedIdentifier& state, const PairTable& pairTable) {
    state.moving = true;
    state.fading = false;
    state.heldLevel = state.variance;
    state.movementWindows = 0;
    state.candidate = 0;
    state.candidateWins = 0;
    state.reported = voteWinner(state, pairTable, state.recentFeatures);
    return state.reported;
}

int endMovement(CalibratedIdentifier& state, float onThreshold) {
    state.moving = false;
    state.fading = state.variance >= onThreshold;
    state.fadingFrom = state.variance;
    state.reported = 0;
    state.candidate = 0;
    state.candidateWins = 0;
    return 0;
}

// Within a movement: the class stands until another wins kWinsToSwitch
// windows running.
int followMovement(CalibratedIdentifier& state, const PairTable& pairTable) {
    state.heldLevel = logStep(state.heldLevel, state.variance, kHeldWeight);
    ++state.movementWindows;
    const bool young = state.movementWindows <= kYoungWindows;
    const std::int32_t winner =
        voteWinner(state, pairTable, young ? state.recentFeatures : state.features);
    if (young && winner != state.reported) {
        state.reported = winner;
        state.candidate = 0;
        state.candidateWins = 0;
    } else if (winner == state.reported) {
        state.candidate = 0;
        state.candidateWins = 0;
    } else if (winner == state.candidate) {
        if (++state.candidateWins >= kWinsToSwitch) {
            state.reported = winner;
            state.candidate = 0;
            state.candidateWins = 0;
        }
    } else {
        state.candidate = winner;
        state.candidateWins = 1;
    }
    return state.reported;
}

}  // namespace

void CalibratedIdentifier::reset(int channelCount, int gesturesInModel, const Calibration& wearer) {
    *this = CalibratedIdentifier{};
    calibration = wearer;
    restLevel = wearer.restVariance;
    if (channelCount < 1 || channelCount > kMaxChannels || gesturesInModel < 2 ||
        gesturesInModel > kMaxGestures || !(wearer.restVariance > 0.0f)) {
        return;
    }
    channels = static_cast<std::uint8_t>(channelCount);
    gestures = static_cast<std::uint8_t>(gesturesInModel);
}

int classifyCalibratedWindow(std::span<const std::uint8_t> window, CalibratedIdentifier& state,
                             const PairTable& pairTable) {
    const std::size_t channels = state.channels;
    if (channels < 1 || channels > kMaxChannels || state.gestures < 2 ||
        state.gestures > kMaxGestures || window.size() < channels * kWindowFrames) {
        return 0;
    }
    measureWindow(window.data(), state);
    const float scale = state.restLevel / state.calibration.restVariance;
    const float onThreshold = state.calibration.onThreshold * scale;
    const float offThreshold = state.calibration.offThreshold * scale;
    const float v = state.variance;

    if (state.moving) {
        const float recent = state.recentVariance;
        if (recent < offThreshold || recent < kFadedShare * state.heldLevel) {
            return endMovement(state, onThreshold);
        }
        return followMovement(state, pairTable);
    }
    if (state.fading) {
        if (v > kRiseAfterFade * state.fadingFrom) {
            return startMovement(state, pairTable);
        }
        state.fadingFrom = std::min(state.fadingFrom, v);
        state.fading = v >= onThreshold;
        return 0;
    }
    if (v > onThreshold || state.recentVariance > onThreshold) {
        return startMovement(state, pairTable);
    }
    followRest(state);
    return 0;
}
