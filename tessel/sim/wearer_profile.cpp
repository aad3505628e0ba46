#include "wearer_profile.h"

#include <cmath>

#include "letter_case.h"
#include "random.h"

namespace tessel::sim {
namespace {

// Stream numbers of the day gains' and the day level's random sources.
constexpr std::uint64_t kDayStream = 0xDA7;
constexpr std::uint64_t kDayLevelStream = 0xD1E;

std::vector<WearerProfile> makeProfiles() {
    std::vector<WearerProfile> profiles;

    WearerProfile standard;
    standard.name = "default";
    profiles.push_back(standard);

    // The kinds below share what real wearers show: contractions that peak and
    // settle lower, slow fades, strength that wanders within a hold, a
    // reaction time, electrodes that sit a little differently every day and
    // levels that move from one day to the next.
    WearerProfile real;
    real.riseShortest = 65;   // 100 ms
    real.riseLongest = 130;   // 200 ms
    real.fallShortest = 195;  // 300 ms
    real.fallLongest = 325;   // 500 ms
    real.wobble = 0.15f;
    real.crossfade = true;
    real.daySpread = 0.2f;
    real.dayLevelLow = 0.4f;
    real.dayLevelHigh = 3.0f;
    real.overshoot = 1.8f;
    real.settleSeconds = 0.4f;
    real.reactionSeconds = 0.27f;

    // Quiet rest, strong gestures: hundreds of times the rest level.
    WearerProfile calm = real;
    calm.name = "calm";
    calm.restNoise = 1.0f;
    calm.fidgetsPerMinute = 4.0f;
    calm.fidgetAmplitude = 1.5f;
    profiles.push_back(calm);

    // A noisy rest (channel-sum variance about 500) and gestures only 5 to 15
    // times above it.
    WearerProfile tense = real;
    tense.name = "tense";
    tense.restNoise = 5.0f;
    tense.commonNoise = 2.2f;
    tense.gestureScale = 1.3f;
    tense.fidgetsPerMinute = 6.0f;
    tense.fidgetAmplitude = 4.0f;
    profiles.push_back(tense);

    // The hand moves slightly and often while resting.
    WearerProfile restless = real;
    restless.name = "restless";
    restless.restNoise = 3.8f;
    restless.fidgetsPerMinute = 30.0f;
    restless.fidgetAmplitude = 5.0f;
    restless.wobble = 0.2f;
    profiles.push_back(restless);

    // Weak, unsteady contractions: a few times the rest level for the weakest.
    WearerProfile faint = real;
    faint.name = "faint";
    faint.restNoise = 2.7f;
    faint.gestureScale = 0.45f;
    faint.repetitionLow = 0.7f;
    faint.repetitionHigh = 1.3f;
    faint.wobble = 0.25f;
    faint.fidgetsPerMinute = 6.0f;
    faint.fidgetAmplitude = 2.0f;
    profiles.push_back(faint);

    // The noisiest rest, ten counts, under gestures that stand out from it only
    // a few times over.
    WearerProfile noisy = real;
    noisy.name = "noisy";
    noisy.restNoise = 10.0f;
    noisy.gestureScale = 1.4f;
    noisy.overshoot = 1.5f;
    noisy.fidgetsPerMinute = 6.0f;
    noisy.fidgetAmplitude = 8.0f;
    profiles.push_back(noisy);

    // Gestures that share muscles: Spread borrows from WaveOut, WaveIn from
    // Fist, Pinch from WaveIn.
    WearerProfile blended = real;
    blended.name = "blended";
    blended.restNoise = 5.0f;
    blended.blends = {{2, 4, 0.4f}, {3, 1, 0.35f}, {5, 3, 0.4f}};
    blended.fidgetsPerMinute = 8.0f;
    blended.fidgetAmplitude = 4.0f;
    profiles.push_back(blended);

    return profiles;
}

std::uint64_t nameSeed(std::string_view name) {
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (const char c : name) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

}  // namespace

float WearerProfile::amplitude(int gesture, int electrode) const {
    if (gesture < 0 || gesture >= kGestures) {
        return 0.0f;
    }
    float value = gestureAmplitude(gesture, electrode);
    for (const PatternBlend& blend : blends) {
        if (blend.gesture == gesture) {
            value = (1.0f - blend.share) * value +
                    blend.share * gestureAmplitude(blend.other, electrode);
        }
    }
    return value * gestureScale * strength[static_cast<std::size_t>(gesture)];
}

const std::vector<WearerProfile>& wearerProfiles() {
    static const std::vector<WearerProfile> profiles = makeProfiles();
    return profiles;
}

const WearerProfile* wearerProfileNamed(std::string_view name) {
    for (const WearerProfile& profile : wearerProfiles()) {
        if (equalsIgnoringCase(profile.name, name)) {
            return &profile;
        }
    }
    return nullptr;
}

const WearerProfile& defaultWearerProfile() {
    return wearerProfiles().front();
}

std::string wearerProfileList() {
    std::string list;
    for (const WearerProfile& profile : wearerProfiles()) {
        list += (list.empty() ? "" : ", ") + profile.name;
    }
    return list;
}

float dayLevel(const WearerProfile& profile, std::uint32_t day) {
    if (day == 1 || !(profile.dayLevelHigh > profile.dayLevelLow)) {
        return day == 1 ? 1.0f : profile.dayLevelLow;
    }
    Random random(mixSeed(nameSeed(profile.name) ^ kDayLevelStream, day));
    const float low = std::log(profile.dayLevelLow);
    const float high = std::log(profile.dayLevelHigh);
    return std::exp(random.uniform(low, high));
}

std::array<float, kElectrodes> dayGains(const WearerProfile& profile, std::uint32_t day) {
    std::array<float, kElectrodes> gains;
    gains.fill(1.0f);
    if (profile.daySpread > 0.0f) {
        Random random(mixSeed(nameSeed(profile.name) ^ kDayStream, day));
        for (float& gain : gains) {
            gain = random.uniform(1.0f - profile.daySpread, 1.0f + profile.daySpread);
        }
    }
    const float level = dayLevel(profile, day);
    if (level != 1.0f) {
        for (float& gain : gains) {
            gain *= level;
        }
    }
    return gains;
}

}  // namespace tessel::sim
