// The person wearing the armband, as the electrodes see them: a timeline of
// resting and holding gestures, and the surface EMG that it produces, one
// frame of eight electrodes at a time (650 frames make one second).
//
// At rest each electrode sits at its offset with the profile's noise (one count
// for the default wearer). A held gesture adds band-limited noise whose
// standard deviation follows the gesture's pattern, varied from one repetition
// to the next; it rises and falls over the profile's ramps (100 to 200 ms for
// the default wearer). Everything random comes from the seed given to restart;
// the profile and the day are kept across restarts.
//
// Not thread-safe: one owner (the stream thread) drives it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "gesture_patterns.h"
#include "random.h"
#include "wearer_profile.h"

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
    // The kind of wearer, and the day that sets the electrodes' gains, from
    // the next frame on. `profile` must outlive the wearer (wearerProfiles()
    // does).
    void setProfile(const WearerProfile& profile, std::uint32_t day = 1);
    const WearerProfile& profile() const { return *kind; }
    // Tells the wearer what to do: from the next frame on, or, for a profile
    // with a reaction time, that much later. A gesture being held is released
    // first, unless the new action keeps holding it (or, for a profile that
    // crossfades, fades while the new one rises).
    void setAction(WearerAction action);
    // What the wearer was last told to do.
    const WearerAction& action() const { return reactionFrames > 0 ? told : current; }

    // Writes the next frame's eight samples.
    void nextFrame(std::uint8_t samples[kElectrodes]);
    // The gesture the wearer makes after the last frame: the active gesture
    // while its envelope is at least half way up, else the one fading out of a
    // crossfade while it is still half way up, else 0.
    std::uint8_t gesture() const;
    // How far the active gesture is expressed: 1 at the level it is held at,
    // more while a contraction overshoots.
    float envelope() const { return level; }
    // The gesture being expressed or ramping up or down; 0 at rest.
    std::uint8_t activeGesture() const { return active; }

  private:
    enum class Phase { Resting, Onset, Holding, Release };

    void beginRest();
    void beginOnset();
    void beginHold();
    void beginRelease();
    void beginCrossfade();
    void act(WearerAction action);
    void advanceTimeline();
    void advanceOvershoot();
    void advanceExtras();
    std::int64_t drawFrames(float seconds);
    std::int64_t drawRamp(std::uint32_t shortest, std::uint32_t longest);
    float bandSample(float* history, float white) const;

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

    // What only the profiles other than "default" use; its random numbers
    // come from a source of their own, so the default wearer's frames stay
    // as they always were.
    const WearerProfile* kind = &defaultWearerProfile();
    std::array<float, kElectrodes> gains{};
    Random extras;
    float commonHistory[3] = {};
    float wobbleFactor = 1.0f;
    // The gesture fading out while the next rises (crossfade).
    std::uint8_t fading = 0;
    float fadeSigma[kElectrodes] = {};
    float fadeFrom = 0.0f;
    float fadeLevel = 0.0f;
    std::int64_t fadeFrames = 1;
    std::int64_t fadeDone = 0;
    // A cue not yet acted on, and the frames until it is.
    WearerAction told;
    std::int64_t reactionFrames = 0;
    // The overshoot of the contraction being held: its peak over the held
    // level, and the frames it has been held.
    float peak = 1.0f;
    std::int64_t heldFrames = 0;
    // A small movement of the hand while resting.
    std::int64_t nextFidget = 0;  // frames until it starts
    std::int64_t fidgetFrames = 0;
    std::int64_t fidgetDone = 0;
    float fidgetLevel = 0.0f;
    float fidgetSigma[kElectrodes] = {};
};

}  // namespace tessel::sim
