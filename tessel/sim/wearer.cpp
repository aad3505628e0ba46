#include "wearer.h"

#include <algorithm>
#include <cmath>

namespace tessel::sim {
namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kRestSeconds = 2.0f;
constexpr float kHoldSeconds = 2.5f;
constexpr float kTimingSpread = 0.25f;       // durations vary by up to a quarter either way
constexpr std::uint32_t kShortestRamp = 65;  // 100 ms
constexpr std::uint32_t kLongestRamp = 130;  // 200 ms
constexpr float kRestNoise = 1.0f;
constexpr float kLargestSigma = 30.0f;
constexpr float kCrosstalk = 0.25f;  // share of each neighbour's signal an electrode picks up

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
    restart(seed, action);
}

void Wearer::restart(std::uint64_t seed, WearerAction action) {
    random = Random(seed);
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
    current = action;
    switch (phase) {
        case Phase::Resting:
            beginRest();
            break;
        case Phase::Onset:
        case Phase::Holding:
            if (current.kind == WearerAction::Rest || current.gesture != active) {
                beginRelease();
            } else if (phase == Phase::Holding) {
                beginHold();
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
    const float gain = random.uniform(0.8f, 1.2f);
    for (int c = 0; c < kElectrodes; ++c) {
        const float factor = std::clamp(1.0f + 0.12f * random.gaussian(), 0.7f, 1.3f);
        sigma[c] = std::min(kLargestSigma, gestureAmplitude(active, c) * gain * factor);
    }
    rampFrames = kShortestRamp + random.next32() % (kLongestRamp - kShortestRamp + 1);
    rampDone = 0;
}

void Wearer::beginHold() {
    phase = Phase::Holding;
    level = 1.0f;
    framesLeft = current.kind == WearerAction::Perform ? drawFrames(kHoldSeconds) : -1;
}

void Wearer::beginRelease() {
    phase = Phase::Release;
    releaseFrom = level;
    rampFrames = kShortestRamp + random.next32() % (kLongestRamp - kShortestRamp + 1);
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
            if (rampDone >= rampFrames) {
                beginHold();
            }
            break;
        }
        case Phase::Holding:
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

void Wearer::nextFrame(std::uint8_t samples[kElectrodes]) {
    advanceTimeline();
    // Band-limited source per electrode: (w[n] + w[n-1] - w[n-2] - w[n-3]) / 2
    // keeps unit variance and passes a band around 110 Hz, nothing at 0 Hz.
    float band[kElectrodes];
    for (int c = 0; c < kElectrodes; ++c) {
        const float white = random.gaussian();
        float* h = history[c];
        band[c] = 0.5f * (white + h[0] - h[1] - h[2]);
        h[2] = h[1];
        h[1] = h[0];
        h[0] = white;
    }
    const float crosstalkNorm = 1.0f / std::sqrt(1.0f + 2.0f * kCrosstalk * kCrosstalk);
    for (int c = 0; c < kElectrodes; ++c) {
        const float left = band[(c + kElectrodes - 1) % kElectrodes];
        const float right = band[(c + 1) % kElectrodes];
        const float source = (band[c] + kCrosstalk * (left + right)) * crosstalkNorm;
        const float value =
            electrodeOffset(c) + kRestNoise * random.gaussian() + level * sigma[c] * source;
        const float rounded = std::floor(value + 0.5f);
        samples[c] = static_cast<std::uint8_t>(std::clamp(rounded, 0.0f, 255.0f));
    }
}

std::uint8_t Wearer::gesture() const {
    return level >= 0.5f ? active : 0;
}

}  // namespace tessel::sim
