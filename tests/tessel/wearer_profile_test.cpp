// The kinds of simulated wearer: the default one as it always was, and the
// others spanning what real wearers show.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tessel/sim/wearer.h"
#include "tessel/sim/wearer_profile.h"

namespace tessel::sim {
namespace {

constexpr int kAnalysisFrames = 130;

struct WindowLevels {
    std::vector<float> restVariances;  // channel-sum variance of whole rest windows
    std::vector<float> holdVariances;  // and of windows fully inside a hold
    std::vector<std::uint8_t> gestures;
};

// Windows of `seconds` of `action` by the profile's wearer, split by truth.
WindowLevels run(const WearerProfile& profile, WearerAction action, int seconds,
                 std::uint64_t seed = 3) {
    Wearer wearer(seed, action);
    wearer.setProfile(profile, 1);
    WindowLevels result;
    std::uint8_t frame[kElectrodes];
    for (int w = 0; w < seconds * kFramesPerSecond / kAnalysisFrames; ++w) {
        float sums[kAnalysisFrames];
        float total = 0.0f;
        bool allRest = true;
        bool allHeld = true;
        for (int t = 0; t < kAnalysisFrames; ++t) {
            wearer.nextFrame(frame);
            sums[t] = 0.0f;
            for (int c = 0; c < kElectrodes; ++c) {
                sums[t] += frame[c];
            }
            total += sums[t];
            allRest = allRest && wearer.activeGesture() == 0;
            allHeld = allHeld && wearer.envelope() >= 1.0f;
            result.gestures.push_back(wearer.gesture());
        }
        float squares = 0.0f;
        for (const float s : sums) {
            squares += (s - total / kAnalysisFrames) * (s - total / kAnalysisFrames);
        }
        (allRest ? result.restVariances : result.holdVariances)
            .push_back(squares / kAnalysisFrames);
        if (!allRest && !allHeld) {
            result.holdVariances.pop_back();
        }
    }
    return result;
}

float median(std::vector<float> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0f : values[values.size() / 2];
}

TEST(WearerProfiles, TheDefaultWearerGivesTheFramesItAlwaysGave) {
    // FNV-1a of the frames and gestures below, from the wearer as it was
    // before there were profiles.
    std::uint64_t hash = 1469598103934665603ull;
    const auto feed = [&hash](Wearer& wearer, int frames) {
        std::uint8_t samples[kElectrodes];
        for (int i = 0; i < frames; ++i) {
            wearer.nextFrame(samples);
            for (const std::uint8_t sample : samples) {
                hash = (hash ^ sample) * 1099511628211ull;
            }
            hash = (hash ^ wearer.gesture()) * 1099511628211ull;
        }
    };
    Wearer performing(11, {WearerAction::Perform, 2});
    feed(performing, 20000);
    Wearer switching(2, {WearerAction::Hold, 1});
    switching.setProfile(*wearerProfileNamed("default"), 7);
    feed(switching, 650);
    switching.setAction({WearerAction::Hold, 2});
    feed(switching, 650);
    switching.setAction({});
    feed(switching, 650);
    EXPECT_EQ(hash, 0xfd53fd49d6f4d759ull);
}

TEST(WearerProfiles, SpanTheRestNoiseAndGestureStrengthOfRealWearers) {
    float quietest = 1e9f;
    float noisiest = 0.0f;
    float weakest = 1e9f;
    float strongest = 0.0f;
    for (const WearerProfile& profile : wearerProfiles()) {
        if (profile.name == "default") {
            continue;
        }
        const float rest = median(run(profile, {}, 20).restVariances);
        EXPECT_GE(rest, 5.0f) << profile.name;
        EXPECT_LE(rest, 1000.0f) << profile.name;
        quietest = std::min(quietest, rest);
        noisiest = std::max(noisiest, rest);
        for (const int gesture : {1, 2, 3, 4, 5}) {
            const WindowLevels held =
                run(profile, {WearerAction::Hold, static_cast<std::uint8_t>(gesture)}, 6);
            const float ratio = median(held.holdVariances) / rest;
            EXPECT_GE(ratio, 3.0f) << profile.name << " gesture " << gesture;
            EXPECT_LE(ratio, 1000.0f) << profile.name << " gesture " << gesture;
            weakest = std::min(weakest, ratio);
            strongest = std::max(strongest, ratio);
        }
    }
    // Rest noise from one count to ten: a hundredfold in variance.
    EXPECT_LT(quietest, 12.0f);
    EXPECT_GT(noisiest, 600.0f);
    EXPECT_LT(weakest, 8.0f);
    EXPECT_GT(strongest, 300.0f);
}

TEST(WearerProfiles, RestlessHandsMoveSlightlyWhileTheWearerStillRests) {
    const WindowLevels restless = run(*wearerProfileNamed("restless"), {}, 60);
    const float rest = median(restless.restVariances);
    const auto raised = std::count_if(restless.restVariances.begin(), restless.restVariances.end(),
                                      [rest](float v) { return v > 1.5f * rest; });
    EXPECT_GT(raised, 5) << "slight movements lift some rest windows";
    EXPECT_LT(raised, static_cast<long>(restless.restVariances.size() / 3));
    EXPECT_TRUE(std::all_of(restless.gestures.begin(), restless.gestures.end(),
                            [](std::uint8_t g) { return g == 0; }));
}

TEST(WearerProfiles, ContractionsComeAReactionAfterTheCuePeakSettleAndFade) {
    for (const char* name : {"calm", "tense", "faint"}) {
        Wearer wearer(8, {});
        wearer.setProfile(*wearerProfileNamed(name), 1);
        std::uint8_t frame[kElectrodes];
        const auto framesUntil = [&](auto condition) {
            int frames = 0;
            while (!condition() && frames < 2000) {
                wearer.nextFrame(frame);
                ++frames;
            }
            return frames;
        };
        wearer.setAction({WearerAction::Hold, 1});
        EXPECT_EQ(wearer.action(), (WearerAction{WearerAction::Hold, 1})) << "told at once";
        const int reaction = framesUntil([&] { return wearer.envelope() > 0.0f; });
        EXPECT_GE(reaction, 130) << name << ": about 0.27 s after the cue";
        EXPECT_LE(reaction, 220) << name;
        float peak = 0.0f;
        const int rise = framesUntil([&] {
            const bool falling = wearer.envelope() < peak;
            peak = std::max(peak, wearer.envelope());
            return falling;
        });
        EXPECT_GE(rise, 65) << name;
        EXPECT_LE(rise, 135) << name;
        EXPECT_GE(peak, 1.3f) << name << ": the contraction overshoots";
        framesUntil([&] { return false; });  // 2000 frames, 3 s, held
        EXPECT_NEAR(wearer.envelope(), 1.0f, 0.01f) << name << ": and settles lower";
        wearer.setAction({});
        framesUntil([&] { return wearer.envelope() < 1.0f; });
        const int fall = framesUntil([&] { return wearer.envelope() <= 0.0f; });
        EXPECT_GE(fall, 190) << name;
        EXPECT_LE(fall, 325) << name;
    }
}

TEST(WearerProfiles, HoldsOneGestureStraightAfterAnotherWithoutARest) {
    Wearer wearer(2, {WearerAction::Hold, 1});
    wearer.setProfile(*wearerProfileNamed("calm"), 1);
    std::uint8_t frame[kElectrodes];
    std::vector<std::uint8_t> seen;
    for (int i = 0; i < 2 * kFramesPerSecond; ++i) {
        if (i == kFramesPerSecond) {
            wearer.setAction({WearerAction::Hold, 3});
        }
        wearer.nextFrame(frame);
        if (i > kAnalysisFrames && (seen.empty() || seen.back() != wearer.gesture())) {
            seen.push_back(wearer.gesture());
        }
    }
    EXPECT_EQ(seen, (std::vector<std::uint8_t>{1, 3}));
}

TEST(WearerProfiles, ElectrodeGainsDifferByAFifthAndTheLevelByUpToThreefoldFromDayToDay) {
    const WearerProfile& calm = *wearerProfileNamed("calm");
    const auto first = dayGains(calm, 1);
    EXPECT_EQ(first, dayGains(calm, 1));
    EXPECT_NE(first, dayGains(calm, 2));
    EXPECT_EQ(dayLevel(calm, 1), 1.0f) << "the day of recording";
    for (const float gain : first) {
        EXPECT_GE(gain, 0.8f);
        EXPECT_LE(gain, 1.2f);
    }
    float lowest = 1.0f;
    float highest = 1.0f;
    for (std::uint32_t day = 2; day < 40; ++day) {
        const float level = dayLevel(calm, day);
        EXPECT_GE(level, 0.4f);
        EXPECT_LE(level, 3.0f);
        lowest = std::min(lowest, level);
        highest = std::max(highest, level);
        for (const float gain : dayGains(calm, day)) {
            EXPECT_GE(gain, 0.8f * level - 1e-5f);
            EXPECT_LE(gain, 1.2f * level + 1e-5f);
        }
    }
    EXPECT_LT(lowest, 0.5f);
    EXPECT_GT(highest, 2.4f);
    const auto unchanged = dayGains(defaultWearerProfile(), 2);
    EXPECT_TRUE(std::all_of(unchanged.begin(), unchanged.end(), [](float g) { return g == 1.0f; }));
}

}  // namespace
}  // namespace tessel::sim
