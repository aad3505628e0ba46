// The calibrated classifier, window by window and on the simulated wearers.
#include "identify/calibrated_classifier.h"

#include <gtest/gtest.h>

#include <vector>

#include "tessel/sim/wearer_profile.h"
#include "tools/identify_eval/evaluation.h"

namespace {

constexpr int kChannels = 2;

// Windows of two channels around 124: quiet, or one channel swinging widely.
class Windows {
  public:
    std::vector<std::uint8_t> make(int loudChannel, int swing) {
        std::vector<std::uint8_t> window(kChannels * kWindowFrames);
        for (std::size_t t = 0; t < kWindowFrames; ++t) {
            for (int c = 0; c < kChannels; ++c) {
                const int amplitude = c + 1 == loudChannel ? swing : 2;
                window[t * kChannels + c] = static_cast<std::uint8_t>(124 + noise(amplitude));
            }
        }
        return window;
    }
    std::vector<std::uint8_t> rest() { return make(0, 0); }

  private:
    int noise(int amplitude) {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 8) % static_cast<std::uint32_t>(2 * amplitude + 1)) -
               amplitude;
    }
    std::uint32_t state = 7;
};

class CalibratedClassifier : public testing::Test {
  protected:
    void SetUp() override {
        // Class 1 when channel 0 is the stronger, class 2 otherwise.
        table[0] = PairRow{0.0f, 1.0f, -1.0f};
        Calibration wearer;
        wearer.restVariance = 10.0f;
        wearer.activeVariance = 1000.0f;
        wearer.onThreshold = 100.0f;
        wearer.offThreshold = 50.0f;
        wearer.restFound = true;
        state.reset(kChannels, 2, wearer);
    }
    int classify(const std::vector<std::uint8_t>& window) {
        return classifyCalibratedWindow(window, state, table);
    }

    PairTable table{};
    CalibratedIdentifier state;
    Windows windows;
};

TEST_F(CalibratedClassifier, ReportsTheGestureFromTheFirstActiveWindowAndRestAtOnce) {
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(classify(windows.rest()), 0);
    }
    EXPECT_EQ(classify(windows.make(2, 40)), 2) << "the window that shows the start";
    EXPECT_EQ(classify(windows.make(2, 40)), 2);
    EXPECT_EQ(classify(windows.rest()), 0) << "back at the rest level";
}

TEST_F(CalibratedClassifier, FollowsASwitchBetweenHeldGesturesWithoutARest) {
    classify(windows.rest());
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(classify(windows.make(1, 40)), 1);
    }
    std::vector<int> results;
    for (int i = 0; i < 8; ++i) {
        results.push_back(classify(windows.make(2, 40)));
    }
    EXPECT_EQ(results, (std::vector<int>{1, 1, 1, 1, 1, 2, 2, 2}))
        << "another class takes over once it wins six windows running";
}

TEST_F(CalibratedClassifier, CarriesNothingFromOneMovementIntoTheNext) {
    classify(windows.rest());
    for (int i = 0; i < 30; ++i) {
        classify(windows.make(1, 40));
    }
    EXPECT_EQ(classify(windows.rest()), 0);
    EXPECT_EQ(classify(windows.make(2, 40)), 2);
}

TEST_F(CalibratedClassifier, ThresholdsFollowTheLiveRestLevelSlowly) {
    for (int i = 0; i < 2000; ++i) {
        ASSERT_EQ(classify(windows.make(1, 6)), 0) << i;  // variance about 16
    }
    EXPECT_GT(state.restLevel, 14.0f);
    EXPECT_LE(state.restLevel, 20.0f) << "at most twice the calibrated level";
    EXPECT_EQ(classify(windows.make(1, 18)), 0)
        << "a variance of about 116 started a movement at the calibrated rest level only";
    EXPECT_EQ(classify(windows.make(1, 40)), 1);
}

TEST_F(CalibratedClassifier, WithoutAModelOrWithAShortWindowGivesNoGesture) {
    EXPECT_EQ(classifyCalibratedWindow(std::vector<std::uint8_t>(kChannels * kWindowFrames - 1),
                                       state, table),
              0);
    CalibratedIdentifier empty;
    EXPECT_EQ(classifyCalibratedWindow(windows.make(1, 40), empty, table), 0);
}

// The measures the evaluation harness takes, on every simulated wearer:
// recorded on one day, identified on another.
class OnEveryWearer : public testing::TestWithParam<std::string> {};

TEST_P(OnEveryWearer, CalibratedModeBeatsTheExactModeAndAnswersPromptly) {
    const tessel::sim::WearerProfile* profile = tessel::sim::wearerProfileNamed(GetParam());
    ASSERT_NE(profile, nullptr);
    const identify_eval::ProfileEvaluation result =
        identify_eval::evaluateProfile(*profile, identify_eval::EvaluationOptions{});
    ASSERT_TRUE(result.trained);
    const identify_eval::Score& calibrated = result.calibrated;
    EXPECT_GT(calibrated.balancedAccuracy, result.exact.balancedAccuracy);
    EXPECT_GE(calibrated.balancedAccuracy, result.lda.balancedAccuracy - 0.03f);
    EXPECT_GE(calibrated.restAsNone, 0.9f);
    EXPECT_GE(calibrated.switches, 3);
    EXPECT_EQ(calibrated.switchesReported, calibrated.switches) << "every direct switch";
    EXPECT_EQ(calibrated.onsetsReported, calibrated.onsets);
    EXPECT_LE(calibrated.onsetMs, 150.0f);
    EXPECT_EQ(calibrated.releasesReported, calibrated.releases);
}

INSTANTIATE_TEST_SUITE_P(Profiles, OnEveryWearer,
                         testing::Values("default", "calm", "tense", "restless", "faint",
                                         "blended"));

}  // namespace
