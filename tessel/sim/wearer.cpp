#include "wearer.h"

#include <algorithm>
#include <cmath>

namespace tessel::sim {
namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kRestSeconds = 2.0f;
constexpr float kHoldSeconds = 2.5f;
constexpr float kTimingSpread = 0.25f;  // durations vary by up to a quarter either way
constexpr float kLargestSigma = 30.0f;
constexpr float kCrosstalk = 0.25f;  // share of each neighbour's signal an electrode picks up
// Stream number of the random source that only the profiles' extras use.
constexpr std::uint64_t kExtrasStream = 0xE7;
constexpr float kShortestFidget = 0.2f;  // seconds
constexpr float kLongestFidget = 0.6f;

}  // namespace

std::string WearerAction::text() const {
    switch (kind) {
        case Hold:
            return "hold " + std::to_string(gesture);
        case Perform:
            return "perform " + std::to_string(gesture);
        default:
            return "rest";
    }
}

Wearer::Wearer(std::uint64_t seed, WearerAction action) {
    gains.fill(1.0f);
    restart(seed, action);
}

void Wearer::setProfile(const WearerProfile& profile, std::uint32_t day) {
    kind = &profile;
    gains = dayGains(profile, day);
}

void Wearer::restart(std::uint64_t seed, WearerAction action) {
    random = Random(seed);
    extras = Random(mixSeed(seed, kExtrasStream));
    reactionFrames = 0;
    peak = 1.0f;
    heldFrames = 0;
    std::fill(std::begin(commonHistory), std::end(commonHistory), 0.0f);
    wobbleFactor = 1.0f;
    fading = 0;
    fadeLevel = 0.0f;
    fidgetFrames = 0;
    fidgetLevel = 0.0f;
    nextFidget = 0;
    current = action;
    level = 0.0f;
    active = 0;
    for (auto& electrode : history) {
        std::fill(std::begin(electrode), std::end(electrode), 0.0f);
    }
    std::fill(std::begin(sigma), std::end(sigma), 0.0f);
    beginRest();
}

void Wearer::setAction(WearerAction action) {
    if (kind->reactionSeconds > 0.0f) {
        told = action;
        const float seconds = kind->reactionSeconds * extras.uniform(0.75f, 1.25f);
        reactionFrames = std::max<std::int64_t>(
            1, static_cast<std::int64_t>(seconds * static_cast<float>(kFramesPerSecond)));
        return;
    }
    act(action);
}

void Wearer::act(WearerAction action) {
    current = action;
    switch (phase) {
        case Phase::Resting:
            beginRest();
            break;
        case Phase::Onset:
        case Phase::Holding:
            if (current.kind != WearerAction::Rest && current.gesture != active &&
                kind->crossfade) {
                beginCrossfade();
            } else if (current.kind == WearerAction::Rest || current.gesture != active) {
                beginRelease();
            } else if (phase == Phase::Holding) {
                framesLeft = current.kind == WearerAction::Perform ? drawFrames(kHoldSeconds) : -1;
            }
            break;
        case Phase::Release:
            break;  // what follows the release is chosen when it ends
    }
}

std::int64_t Wearer::drawFrames(float seconds) {
    const float factor = random.uniform(1.0f - kTimingSpread, 1.0f + kTimingSpread);
    return std::max<std::int64_t>(1,
                                  static_cast<std::int64_t>(seconds * factor * kFramesPerSecond));
}

void Wearer::beginRest() {
    phase = Phase::Resting;
    level = 0.0f;
    framesLeft = -1;
    if (current.kind == WearerAction::Hold) {
        beginOnset();
    } else if (current.kind == WearerAction::Perform) {
        framesLeft = drawFrames(kRestSeconds);
    }
}

void Wearer::beginOnset() {
    phase = Phase::Onset;
    active = current.gesture;
    const float gain = random.uniform(kind->repetitionLow, kind->repetitionHigh);
    for (int c = 0; c < kElectrodes; ++c) {
        const float factor = std::clamp(1.0f + 0.12f * random.gaussian(), 0.7f, 1.3f);
        sigma[c] = std::min(kLargestSigma, kind->amplitude(active, c) * gain * factor);
    }
    rampFrames = drawRamp(kind->riseShortest, kind->riseLongest);
    rampDone = 0;
    if (kind->overshoot > 1.0f) {
        peak = 1.0f + (kind->overshoot - 1.0f) * extras.uniform(0.7f, 1.3f);
    }
}

std::int64_t Wearer::drawRamp(std::uint32_t shortest, std::uint32_t longest) {
    const std::uint32_t longer = longest > shortest ? longest - shortest : 0;
    return shortest + random.next32() % (longer + 1);
}

// The gesture held so far fades over a release's time while the new one
// rises from nothing.
void Wearer::beginCrossfade() {
    fading = active;
    std::copy(std::begin(sigma), std::end(sigma), std::begin(fadeSigma));
    fadeFrom = level * wobbleFactor;
    fadeLevel = fadeFrom;
    fadeFrames = drawRamp(kind->fallShortest, kind->fallLongest);
    fadeDone = 0;
    level = 0.0f;
    beginOnset();
}

void Wearer::beginHold() {
    phase = Phase::Holding;
    level = kind->overshoot > 1.0f ? peak : 1.0f;
    heldFrames = 0;
    framesLeft = current.kind == WearerAction::Perform ? drawFrames(kHoldSeconds) : -1;
}

void Wearer::beginRelease() {
    phase = Phase::Release;
    releaseFrom = level;
    rampFrames = drawRamp(kind->fallShortest, kind->fallLongest);
    rampDone = 0;
}

void Wearer::advanceTimeline() {
    switch (phase) {
        case Phase::Resting:
            if (framesLeft > 0 && --framesLeft == 0) {
                beginOnset();
            }
            break;
        case Phase::Onset: {
            ++rampDone;
            const float t = static_cast<float>(rampDone) / static_cast<float>(rampFrames);
            level = 0.5f - 0.5f * std::cos(kPi * t);
            if (kind->overshoot > 1.0f) {
                level *= peak;
            }
            if (rampDone >= rampFrames) {
                beginHold();
            }
            break;
        }
        case Phase::Holding:
            advanceOvershoot();
            if (framesLeft > 0 && --framesLeft == 0) {
                beginRelease();
            }
            break;
        case Phase::Release: {
            ++rampDone;
            const float t = static_cast<float>(rampDone) / static_cast<float>(rampFrames);
            level = releaseFrom * (0.5f + 0.5f * std::cos(kPi * t));
            if (rampDone >= rampFrames) {
                active = 0;
                beginRest();
            }
            break;
        }
    }
}

// A held contraction settles from its peak towards the level it is held at.
void Wearer::advanceOvershoot() {
    if (kind->overshoot <= 1.0f) {
        return;
    }
    ++heldFrames;
    const float settle = kind->settleSeconds * static_cast<float>(kFramesPerSecond);
    level = 1.0f + (peak - 1.0f) * std::exp(-static_cast<float>(heldFrames) / settle);
}

float Wearer::bandSample(float* h, float white) const {
    const float band = 0.5f * (white + h[0] - h[1] - h[2]);
    h[2] = h[1];
    h[1] = h[0];
    h[0] = white;
    return band;
}

// Wobble, fade and fidgets: nothing for the default wearer, and never a
// number from `random`.
void Wearer::advanceExtras() {
    if (kind->wobble > 0.0f && (phase == Phase::Onset || phase == Phase::Holding)) {
        // A slow log-normal factor: each frame keeps `keep` of the last one.
        const float keep = std::exp(-1.0f / (kind->wobbleSeconds * kFramesPerSecond));
        const float drive = std::sqrt(1.0f - keep * keep) * kind->wobble;
        const float logFactor = keep * std::log(wobbleFactor) + drive * extras.gaussian();
        wobbleFactor = std::exp(logFactor);
    }
    if (fading != 0) {
        ++fadeDone;
        const float t = static_cast<float>(fadeDone) / static_cast<float>(fadeFrames);
        fadeLevel = fadeFrom * (0.5f + 0.5f * std::cos(kPi * t));
        if (fadeDone >= fadeFrames) {
            fading = 0;
            fadeLevel = 0.0f;
        }
    }
    if (kind->fidgetsPerMinute <= 0.0f) {
        return;
    }
    if (fidgetFrames > 0) {
        ++fidgetDone;
        const float t = static_cast<float>(fidgetDone) / static_cast<float>(fidgetFrames);
        fidgetLevel = std::sin(kPi * t);
        if (fidgetDone >= fidgetFrames) {
            fidgetFrames = 0;
            fidgetLevel = 0.0f;
            const float meanFrames = 60.0f / kind->fidgetsPerMinute * kFramesPerSecond;
            nextFidget = static_cast<std::int64_t>(-std::log(1.0f - extras.uniform()) * meanFrames);
        }
    } else if (phase == Phase::Resting && --nextFidget <= 0) {
        const int pattern = 1 + static_cast<int>(extras.next32() % (kGestures - 1));
        float strongest = 0.0f;
        for (int c = 0; c < kElectrodes; ++c) {
            strongest = std::max(strongest, gestureAmplitude(pattern, c));
        }
        const float peak = kind->fidgetAmplitude * extras.uniform(0.5f, 1.0f) / strongest;
        for (int c = 0; c < kElectrodes; ++c) {
            fidgetSigma[c] = gestureAmplitude(pattern, c) * peak;
        }
        fidgetFrames = static_cast<std::int64_t>(extras.uniform(kShortestFidget, kLongestFidget) *
                                                 kFramesPerSecond);
        fidgetDone = 0;
    }
}

void Wearer::nextFrame(std::uint8_t samples[kElectrodes]) {
    if (reactionFrames > 0 && --reactionFrames == 0) {
        act(told);
    }
    advanceTimeline();
    advanceExtras();
    // Band-limited source per electrode: (w[n] + w[n-1] - w[n-2] - w[n-3]) / 2
    // keeps unit variance and passes a band around 110 Hz, nothing at 0 Hz.
    float band[kElectrodes];
    for (int c = 0; c < kElectrodes; ++c) {
        band[c] = bandSample(history[c], random.gaussian());
    }
    const float common =
        kind->commonNoise > 0.0f ? bandSample(commonHistory, extras.gaussian()) : 0.0f;
    const float crosstalkNorm = 1.0f / std::sqrt(1.0f + 2.0f * kCrosstalk * kCrosstalk);
    const float strength = level * wobbleFactor;
    for (int c = 0; c < kElectrodes; ++c) {
        const float left = band[(c + kElectrodes - 1) % kElectrodes];
        const float right = band[(c + 1) % kElectrodes];
        const float source = (band[c] + kCrosstalk * (left + right)) * crosstalkNorm;
        const float rest = kind->restNoise * random.gaussian() + kind->commonNoise * common;
        const float emg =
            (strength * sigma[c] + fadeLevel * fadeSigma[c] + fidgetLevel * fidgetSigma[c]) *
            source;
        const float value = electrodeOffset(c) + gains[c] * rest + gains[c] * emg;
        const float rounded = std::floor(value + 0.5f);
        samples[c] = static_cast<std::uint8_t>(std::clamp(rounded, 0.0f, 255.0f));
    }
}

std::uint8_t Wearer::gesture() const {
    if (level >= 0.5f) {
        return active;
    }
    return fadeLevel >= 0.5f ? fading : 0;
}

}  // namespace tessel::sim
