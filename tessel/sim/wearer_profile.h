// Kinds of wearer: how noisy their rest is, how strongly and how steadily they
// hold gestures, how their gestures overlap, and how the electrodes sit from
// one day to the next.
//
// "default" is the wearer the simulated armband has always had: one count of
// noise at rest, strong gestures, 100 to 200 ms ramps, nothing else. The other
// profiles span what recordings of real people show: rest noise from about one
// to about ten counts (a factor of ten between people), small movements of the
// hand while resting, gestures from a few to hundreds of times the rest level,
// some of them alike, contractions that rise over 100 to 200 ms to a peak,
// settle to about half of it within a second and fade over 300 to 500 ms, a
// reaction of about 0.27 s to every cue, repetitions and windows of varying
// strength, electrode gains that differ by up to a fifth between days, and an
// overall level that moves by a factor of 0.4 to 3 from one day to another.
//
// Profiles are constant data; any thread may read them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gesture_patterns.h"

namespace tessel::sim {

struct PatternBlend {
    std::uint8_t gesture = 0;  // whose pattern takes on some of `other`'s
    std::uint8_t other = 0;
    float share = 0.0f;  // 0..1 of other's pattern, the rest the gesture's own
};

struct WearerProfile {
    std::string name;
    // Standard deviation, in counts, of each electrode's own noise at rest.
    float restNoise = 1.0f;
    // Standard deviation of a band-limited noise that all electrodes share
    // (mains and cable movement); 0 for none.
    float commonNoise = 0.0f;
    // Every gesture's pattern is multiplied by this, and gesture g's also by
    // strength[g].
    float gestureScale = 1.0f;
    std::array<float, kGestures> strength = filled(1.0f);
    std::vector<PatternBlend> blends;
    // A repetition's strength is drawn uniformly from [repetitionLow, repetitionHigh].
    float repetitionLow = 0.8f;
    float repetitionHigh = 1.2f;
    // While a gesture is held its strength wanders around the repetition's:
    // a slow random factor with this relative spread (0 for none) that forgets
    // itself over wobbleSeconds.
    float wobble = 0.0f;
    float wobbleSeconds = 0.3f;
    // Ramps, in frames: a contraction rises over riseShortest..riseLongest
    // and fades over fallShortest..fallLongest.
    std::uint32_t riseShortest = 65;
    std::uint32_t riseLongest = 130;
    std::uint32_t fallShortest = 65;
    std::uint32_t fallLongest = 130;
    // Small movements of the hand while resting: about this many a minute, each
    // a weak contraction of a random gesture's pattern lasting 0.2 to 0.6 s
    // whose strongest electrode reaches fidgetAmplitude counts. 0 for none.
    float fidgetsPerMinute = 0.0f;
    float fidgetAmplitude = 0.0f;
    // A gesture held straight after another fades while the new one rises,
    // instead of the first being released completely before the second begins.
    bool crossfade = false;
    // Each electrode's gain on a given day is 1 +- up to this share.
    float daySpread = 0.0f;
    // Every electrode's level on a day other than day 1 is multiplied by a
    // factor drawn for the day, log-uniformly from [dayLevelLow, dayLevelHigh]
    // (the wearer's skin, sweat and where the band sits); day 1 keeps 1.
    float dayLevelLow = 1.0f;
    float dayLevelHigh = 1.0f;
    // A contraction rises to overshoot times the level it is then held at, and
    // settles to that level with this time constant. 1 for none.
    float overshoot = 1.0f;
    float settleSeconds = 0.4f;
    // A cue (hold, rest) is acted on this many seconds later, +- a quarter;
    // 0 for at once.
    float reactionSeconds = 0.0f;

    // The standard deviation, in counts, of electrode c while gesture g is
    // fully held by an average repetition of this wearer.
    float amplitude(int gesture, int electrode) const;

    static constexpr std::array<float, kGestures> filled(float value) {
        std::array<float, kGestures> values{};
        for (float& v : values) {
            v = value;
        }
        return values;
    }
};

// Every profile, "default" first.
const std::vector<WearerProfile>& wearerProfiles();
// The profile of that name (letter case ignored), or nullptr.
const WearerProfile* wearerProfileNamed(std::string_view name);
const WearerProfile& defaultWearerProfile();
// "default, calm, ..." for help texts.
std::string wearerProfileList();

// The eight electrode gains of `profile` on `day`: the same numbers for the
// same profile and day on every machine; all 1 when daySpread is 0 and the
// day's level factor is 1.
std::array<float, kElectrodes> dayGains(const WearerProfile& profile, std::uint32_t day);

// The overall level factor of `profile` on `day`: 1 on day 1; on other days
// drawn from [dayLevelLow, dayLevelHigh], the same for the same profile and day.
float dayLevel(const WearerProfile& profile, std::uint32_t day);

}  // namespace tessel::sim
