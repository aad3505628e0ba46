// The calibrated mode's recogniser: its features, its discriminant, how it
// tells rest from holds in a recording, how its reports hold, and how it fares
// on every simulated wearer beside the yardstick.
#include "signal/recogniser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tessel/sim/wearer_profile.h"
#include "tools/identify_eval/evaluation.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// 130 frames of one channel: `value(t)` at frame t.
template <typename Value>
Bytes oneChannel(Value value) {
    Bytes window(kRecogniserWindowFrames);
    for (std::size_t t = 0; t < window.size(); ++t) {
        window[t] = static_cast<std::uint8_t>(value(static_cast<int>(t)));
    }
    return window;
}

Bytes flat() {
    return oneChannel([](int) { return 124; });
}
// Swings of `amplitude` about 120 every frame, or every `period` frames.
Bytes swinging(int amplitude, int period = 1) {
    return oneChannel(
        [=](int t) { return (t / period) % 2 == 0 ? 120 + amplitude : 120 - amplitude; });
}

TEST(TdFeatures, FollowTheAmplitudeOnALogScaleAndCountCrossingsAndTurnsWhateverTheLevel) {
    Bytes two(2 * kRecogniserWindowFrames, 128);  // channel 2 flat
    for (std::size_t t = 0; t < kRecogniserWindowFrames; ++t) {
        two[2 * t] = t % 2 == 0 ? 140 : 100;
    }
    float f[kMaxTdFeatures];
    tdFeatures(two.data(), kRecogniserWindowFrames, 2, f);
    EXPECT_FLOAT_EQ(f[0], std::log(20.05f));
    EXPECT_FLOAT_EQ(f[1], std::log(40.05f));
    EXPECT_FLOAT_EQ(f[2], 1.0f) << "every step crosses the mean";
    EXPECT_FLOAT_EQ(f[3], 128.0f / 129.0f) << "every step but the first turns";
    EXPECT_FLOAT_EQ(f[4], std::log(0.05f)) << "a flat channel stays finite";
    EXPECT_EQ(f[6], 0.0f);
    EXPECT_EQ(f[7], 0.0f);
    EXPECT_FLOAT_EQ(tdLevel(f, 2), 0.5f * (std::log(20.05f) + std::log(0.05f)));

    float twice[kMaxTdFeatures];
    tdFeatures(swinging(40).data(), kRecogniserWindowFrames, 1, twice);
    tdFeatures(swinging(20).data(), kRecogniserWindowFrames, 1, f);
    EXPECT_NEAR(twice[0] - f[0], std::log(2.0f), 0.01f) << "twice the level, log 2 higher";
    EXPECT_EQ(twice[2], f[2]);
    EXPECT_EQ(twice[3], f[3]);

    // Each sample held for three frames, as a slower converter repeats them:
    // the turns are those of the samples, not of the repeats.
    tdFeatures(swinging(10, 3).data(), kRecogniserWindowFrames, 1, f);
    EXPECT_NEAR(f[3] * 129.0f, 42.0f, 1.0f);
}

TEST(Lda, SeparatesClassesWithEqualPriorsAndRefusesWhatCannotBeTrained) {
    // Three clouds in two dimensions, one of them small; the second feature of
    // class 2 never varies.
    std::vector<float> samples;
    std::vector<int> labels;
    const float centres[3][2] = {{0.0f, 0.0f}, {4.0f, 0.0f}, {2.0f, 3.0f}};
    for (int k = 0; k < 3; ++k) {
        const int count = k == 1 ? 5 : 200;
        for (int i = 0; i < count; ++i) {
            const float wobble = static_cast<float>((i * 37) % 11 - 5) / 5.0f;
            samples.push_back(centres[k][0] + wobble);
            samples.push_back(centres[k][1] + (k == 2 ? 0.0f : 0.5f * wobble));
            labels.push_back(k);
        }
    }
    LdaModel model;
    ASSERT_TRUE(trainLda(samples, labels, 3, 2, 0.1, model));
    float scores[kMaxLdaClasses];
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(model.classify(centres[k], scores), static_cast<std::size_t>(k))
            << "the small class keeps its own region: equal priors";
        EXPECT_GT(ldaConfidence(scores, 3, static_cast<std::size_t>(k)), 0.5f);
    }
    LdaModel untouched = model;
    std::vector<int> missingClass = labels;
    for (int& label : missingClass) {
        label = label == 1 ? 0 : label;
    }
    EXPECT_FALSE(trainLda(samples, missingClass, 3, 2, 0.1, model));
    EXPECT_FALSE(trainLda(samples, labels, 3, 3, 0.1, model)) << "sizes that do not fit";
    EXPECT_FALSE(trainLda(samples, labels, 1, 2, 0.1, model));
    EXPECT_EQ(model.weights, untouched.weights);
}

TEST(ActivitySplit, QuietAndLoudWindowsBecomeRestAndGestureAndTheRampsBetweenNeither) {
    // Windows 32 frames apart: 2.5 s of rest, 2.5 s held, and so on.
    std::vector<float> levels;
    for (int part = 0; part < 6; ++part) {
        levels.insert(levels.end(), 50, part % 2 == 0 ? 0.0f : 2.0f);
    }
    const std::vector<WindowRole> roles = splitActivity(levels, 32, 195, 65);
    EXPECT_EQ(roles[10], WindowRole::rest);
    EXPECT_EQ(roles[75], WindowRole::gesture);
    EXPECT_EQ(roles[45], WindowRole::transition) << "just before the onset";
    EXPECT_EQ(roles[50], WindowRole::transition) << "the onset";
    EXPECT_EQ(roles[54], WindowRole::gesture);
    EXPECT_EQ(roles[140], WindowRole::rest);

    // One hold throughout: its peak is no hold and its settled level no rest.
    std::vector<float> held(300, 2.0f);
    std::fill_n(held.begin(), 10, 2.7f);
    for (const auto& one : {held, std::vector<float>(300, 0.0f)}) {
        const std::vector<WindowRole> none = splitActivity(one, 32, 195, 65);
        EXPECT_EQ(std::count(none.begin(), none.end(), WindowRole::transition), 300);
    }
}

// One channel: rest wins on a quiet window, class 1 on a loud fast one, class
// 2 on a loud slow one.
RecogniserModel handMadeModel(float restLevel) {
    RecogniserModel model;
    model.channels = 1;
    model.gestures = 2;
    model.restLevel = restLevel;
    model.lda.classes = 3;
    model.lda.dimension = recogniserDimension(1);
    model.lda.offsets = {0.0f, -5.0f, 0.0f};
    model.lda.weights = {-1.0f, 0.0f, 0.0f,   0.0f,  //
                         1.0f,  0.0f, 10.0f,  0.0f,  //
                         1.0f,  0.0f, -10.0f, 0.0f};
    return model;
}

TEST(Recogniser, ReportsAMajorityAtMostOnceInAWhileAndSwitchesGesturesOnlyOnLastingEvidence) {
    const RecogniserModel model = handMadeModel(std::log(0.05f));
    Recogniser recogniser;
    recogniser.start(&model);
    const auto feed = [&](const Bytes& window, int times) {
        std::vector<int> reports;
        for (int i = 0; i < times; ++i) {
            reports.push_back(recogniser.classify(window));
        }
        return reports;
    };
    EXPECT_EQ(feed(flat(), 3), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(feed(swinging(30), 5), (std::vector<int>{0, 0, 0, 0, 1}))
        << "five of the last eight decisions";
    feed(swinging(30), 5);

    // Decisions that keep changing leave the report where it was.
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(recogniser.classify(i % 2 == 0 ? swinging(30) : swinging(30, 10)), 1) << i;
    }

    // A lasting switch is followed once its majority has held for a while.
    feed(swinging(30), 10);
    const std::vector<int> switching = feed(swinging(30, 10), 14);
    EXPECT_EQ(switching[10], 1);
    EXPECT_EQ(switching[11], 2);
    EXPECT_EQ(feed(flat(), 5).back(), 0);

    // A day far quieter than the recordings (rest of two counts): a weak
    // gesture reads as rest until the recogniser has seen today's rest.
    const RecogniserModel louder = handMadeModel(std::log(2.05f));
    recogniser.start(&louder);
    EXPECT_EQ(feed(swinging(1, 10), 20).back(), 0);
    EXPECT_EQ(feed(flat(), 200).back(), 0);
    EXPECT_EQ(feed(swinging(1, 10), 20).back(), 2);
    Recogniser empty;
    EXPECT_EQ(empty.classify(flat()), 0) << "no model";
}

TEST(Recogniser, NeverTakesAGestureHeldFromTheStartForRest) {
    // The wearer holds gesture 1 from the start for 40 s, then makes the
    // weaker gesture 2: had the hold become rest, every amplitude would be
    // read four times lower and gesture 2 as rest.
    const RecogniserModel model = handMadeModel(std::log(0.05f));
    Recogniser recogniser;
    recogniser.start(&model);
    for (int i = 0; i < 1625; ++i) {
        ASSERT_EQ(recogniser.classify(swinging(30)), i < 4 ? 0 : 1) << i;
    }
    std::vector<int> reports;
    for (int i = 0; i < 40; ++i) {
        reports.push_back(recogniser.classify(swinging(4, 10)));
    }
    EXPECT_EQ(std::count(reports.begin(), reports.end(), 0), 0);
    EXPECT_EQ(reports.back(), 2);
}

// The measures of the evaluation harness on every simulated wearer, recorded
// on one day and identified on another.
class OnEveryWearer : public testing::TestWithParam<std::string> {};

TEST_P(OnEveryWearer, TheRecogniserHoldsUpBesideTheYardstickAndItsReportsDoNotFlurry) {
    const tessel::sim::WearerProfile* profile = tessel::sim::wearerProfileNamed(GetParam());
    ASSERT_NE(profile, nullptr);
    const identify_eval::Evaluated result =
        identify_eval::evaluateProfile(*profile, identify_eval::EvaluationOptions{});
    ASSERT_TRUE(result.trained);
    const identify_eval::Score& calibrated = result.calibrated;
    EXPECT_GE(calibrated.balancedAccuracy, result.yardstick.balancedAccuracy - 0.03f);
    EXPECT_GE(calibrated.balancedAccuracy, result.exact.balancedAccuracy);
    EXPECT_GE(calibrated.restAsNone, 0.88f);
    EXPECT_EQ(calibrated.onsetsReported, calibrated.onsets);
    EXPECT_EQ(calibrated.releasesReported, calibrated.releases);
    EXPECT_EQ(calibrated.switchesReported, calibrated.switches) << "every direct switch";
    EXPECT_LE(calibrated.onsetMs, 650.0f) << "from the cue, the wearer's reaction included";
    EXPECT_EQ(calibrated.quickChanges, 0) << "a report lasts at least 100 ms";
}

INSTANTIATE_TEST_SUITE_P(Profiles, OnEveryWearer,
                         testing::Values("default", "calm", "tense", "restless", "faint", "noisy",
                                         "blended"));

}  // namespace
