// The person wearing the armband, as the electrodes see them: a timeline of
// resting and holding gestures, and the surface EMG that it produces, one
// frame of eight electrodes at a time (650 frames make one second).
//
// At rest each electrode sits at its offset with about one count of noise. A
// held gesture adds band-limited noise whose standard deviation follows the
// gesture's pattern, varied from one repetition to the next; it rises and falls
// over 100 to 200 ms. Everything random comes from the seed given to restart.
//
// Not thread-safe: one owner (the stream thread) drives it.
#pragma once

#include <cstdint>
#include <string>

#include "gesture_patterns.h"
#include "random.h"

namespace tessel::sim {

inline constexpr int kFramesPerSecond = 650;

struct WearerAction {
    enum Kind : std::uint8_t { Rest, Hold, Perform };
    Kind kind = Rest;
    std::uint8_t gesture = 0;  // 0..15; ignored for Rest

    std::string text() const;  // "rest", "hold 3", "perform 1"
    bool operator==(const WearerAction&) const = default;
};

class Wearer {
  public:
    explicit Wearer(std::uint64_t seed = 0, WearerAction action = {});

    // Begins a fresh timeline for the action, resting, with noise from seed.
    // `perform` starts with its rest, `hold` with its onset.
    void restart(std::uint64_t seed, WearerAction action);
    // Changes what the wearer does from the next frame on: a gesture being
    // held is released first, unless the new action keeps holding it.
    void setAction(WearerAction action);
    const WearerAction& action() const { return current; }

    // Writes the next frame's eight samples.
    void nextFrame(std::uint8_t samples[kElectrodes]);
    // The gesture the wearer makes after the last frame: the active gesture
    // while its envelope is at least half way up, else 0.
    std::uint8_t gesture() const;
    // How far the active gesture is expressed, 0..1.
    float envelope() const { return level; }

  private:
    enum class Phase { Resting, Onset, Holding, Release };

    void beginRest();
    void beginOnset();
    void beginHold();
    void beginRelease();
    void advanceTimeline();
    std::int64_t drawFrames(float seconds);

    Random random;
    WearerAction current;
    Phase phase = Phase::Resting;
    std::int64_t framesLeft = -1;  // in the phase; -1 = until the action changes
    std::int64_t rampFrames = 1;
    std::int64_t rampDone = 0;
    float releaseFrom = 0.0f;
    float level = 0.0f;
    std::uint8_t active = 0;  // the gesture being expressed
    float sigma[kElectrodes] = {};
    float history[kElectrodes][3] = {};  // last white-noise values per electrode
};

}  // namespace tessel::sim
