#include "signal/classifier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "signal/classifier_steps.h"
#include "signal/identifier.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kCentre = 124;

// 65 frames of one channel around kCentre: for each (d, k), k frames at +d and
// k at -d; the rest at kCentre. Its mean is kCentre, its sum of squared
// deviations 2 x sum of k x d x d.
Bytes half(std::initializer_list<std::pair<int, int>> deviations) {
    Bytes frames;
    for (const auto& [d, k] : deviations) {
        for (int i = 0; i < k; ++i) {
            frames.push_back(static_cast<std::uint8_t>(kCentre + d));
            frames.push_back(static_cast<std::uint8_t>(kCentre - d));
        }
    }
    frames.resize(kHalfWindowFrames, kCentre);
    return frames;
}

// A one-channel window whose first half (the part the classifier reads) is h.
Bytes window(const Bytes& h) {
    Bytes frames = h;
    frames.resize(kWindowFrames, kCentre);
    return frames;
}

Bytes flatWindow(int channels, std::uint8_t value) {
    return Bytes(static_cast<std::size_t>(channels) * kWindowFrames, value);
}

// Weights all 0: every pair votes by the sign of its bias alone, for the class
// `winner` wherever it is in the pair, so `winner` gets the most votes.
PairTable tableVotingFor(int winner, int gestures) {
    PairTable table{};
    std::size_t p = 0;
    for (int k = 1; k <= gestures; ++k) {
        for (int l = k + 1; l <= gestures; ++l) {
            table[p++][0] = l == winner ? -1.0f : 1.0f;
        }
    }
    return table;
}

// One channel, a loud steady stream (variance far above 200), past priming and
// onset: every further window is classified, and the movement never ends.
class ActiveMovement {
  public:
    explicit ActiveMovement(int gestures) : gestures(gestures) {
        identifier.reset(1, gestures);
        const PairTable any = tableVotingFor(1, gestures);
        classifyWindow(loud, identifier, any);
        classifyWindow(loud, identifier, any);
    }

    int classifyWithWinner(int winner) {
        return classifyWindow(loud, identifier, tableVotingFor(winner, gestures));
    }

    std::vector<int> resultsFor(std::initializer_list<int> winners) {
        std::vector<int> results;
        for (const int winner : winners) {
            results.push_back(classifyWithWinner(winner));
        }
        return results;
    }

    Identifier identifier;

  private:
    const Bytes loud = window(half({{30, 32}}));
    int gestures;
};

TEST(Classifier, FirstWindowAfterAModelLoadOnlyPrimes) {
    Identifier identifier;
    identifier.reset(2, 3);
    const Identifier fresh = identifier;
    const Bytes first = window(half({{40, 32}}));
    Bytes twoChannels;
    for (const std::uint8_t sample : first) {
        twoChannels.push_back(sample);
        twoChannels.push_back(sample);
    }

    EXPECT_EQ(classifyWindow(twoChannels, identifier, tableVotingFor(2, 3)), 0);
    EXPECT_TRUE(identifier.primed);
    EXPECT_TRUE(identifier.idle);
    EXPECT_EQ(identifier.baseline, fresh.baseline);
    EXPECT_EQ(identifier.curVariance, 0.0f);
    EXPECT_EQ(identifier.curLevel, 0.0f);
    EXPECT_TRUE(std::equal(twoChannels.begin(), twoChannels.begin() + 130,
                           identifier.previousHalf.begin()));
}

TEST(Classifier, CentringSubtractsTheBaselineFromBeforeTheWindowAndThenMovesIt) {
    Identifier identifier;
    identifier.reset(8, 2);
    const Bytes frames = flatWindow(8, 124);
    std::vector<float> centred(frames.size());

    centreWindow(frames, centred, identifier);

    EXPECT_NEAR(centred[0], 0.31f, 1e-5f);
    EXPECT_EQ(centred[129 * 8], 124.0f - 123.69f);
    EXPECT_EQ(centred[7], 124.0f - 121.80f);
    EXPECT_FLOAT_EQ(identifier.baseline[0], 123.845f);
    EXPECT_FLOAT_EQ(identifier.baseline[7], 0.5f * 124.0f + 0.5f * 121.80f);
}

TEST(Classifier, SecondWindowMovesTheBaselineHalfwayToTheWindowMean) {
    Identifier identifier;
    identifier.reset(1, 2);
    const PairTable table = tableVotingFor(1, 2);
    classifyWindow(flatWindow(1, 124), identifier, table);
    EXPECT_EQ(identifier.baseline[0], 123.69f);

    classifyWindow(flatWindow(1, 124), identifier, table);
    EXPECT_FLOAT_EQ(identifier.baseline[0], 123.845f);
    EXPECT_NEAR(identifier.curLevel, 0.31f, 1e-5f);
}

TEST(ClassifierOnset, VarianceOf150AfterZeroStartsAMovementWithoutClassifying) {
    Identifier identifier;
    identifier.reset(1, 2);
    const PairTable table = tableVotingFor(2, 2);
    const Bytes flat = flatWindow(1, kCentre);
    // 2 x (24 x 400 + 6 x 25) = 19500 over 130 frames: variance 150.
    const Bytes swing = window(half({{20, 24}, {5, 6}}));

    EXPECT_EQ(classifyWindow(flat, identifier, table), 0);
    EXPECT_EQ(classifyWindow(flat, identifier, table), 0);
    EXPECT_LT(identifier.curVariance, 1e-6f);
    EXPECT_TRUE(identifier.idle);

    EXPECT_EQ(classifyWindow(swing, identifier, table), 0);
    EXPECT_NEAR(identifier.curVariance, 150.0f, 0.01f);
    EXPECT_FALSE(identifier.idle);
}

TEST(ClassifierOnset, Variance250After150DoesNotStartAMovementBut250After250Does) {
    Identifier identifier;
    identifier.reset(1, 2);
    const PairTable table = tableVotingFor(2, 2);
    // Every half is centred on kCentre, so a window's variance is the sum of
    // its two halves' squared deviations over 130.
    const Bytes a = window(half({{20, 6}, {5, 8}}));    // 5200
    const Bytes c = window(half({{20, 17}, {5, 14}}));  // 14300
    const Bytes d = window(half({{30, 10}, {5, 4}}));   // 18200

    classifyWindow(a, identifier, table);
    classifyWindow(a, identifier, table);
    EXPECT_NEAR(identifier.curVariance, 80.0f, 0.01f);
    EXPECT_TRUE(identifier.idle);

    classifyWindow(c, identifier, table);
    EXPECT_NEAR(identifier.curVariance, 150.0f, 0.01f);
    EXPECT_TRUE(identifier.idle);

    classifyWindow(d, identifier, table);
    EXPECT_NEAR(identifier.prevVariance, 150.0f, 0.01f);
    EXPECT_NEAR(identifier.curVariance, 250.0f, 0.01f);
    EXPECT_TRUE(identifier.idle);

    classifyWindow(c, identifier, table);
    EXPECT_NEAR(identifier.prevVariance, 250.0f, 0.01f);
    EXPECT_NEAR(identifier.curVariance, 250.0f, 0.01f);
    EXPECT_FALSE(identifier.idle);
}

TEST(ClassifierOnset, StartTestFollowsTheRatioAndTheSustainedLevel) {
    EXPECT_TRUE(movementStarts(0.0f, 150.0f));
    EXPECT_FALSE(movementStarts(0.0f, 100.0f));
    EXPECT_FALSE(movementStarts(150.0f, 250.0f));
    EXPECT_TRUE(movementStarts(250.0f, 250.0f));
    EXPECT_FALSE(movementStarts(200.0f, 250.0f));
    EXPECT_TRUE(movementStarts(30.0f, 121.0f));
    EXPECT_FALSE(movementStarts(30.0f, 120.0f));
    EXPECT_FALSE(movementStarts(0.0f, 0.0f));
}

TEST(ClassifierOnset, AFlatStreamNeverStartsAMovement) {
    Identifier identifier;
    identifier.reset(3, 2);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(classifyWindow(flatWindow(3, 130), identifier, tableVotingFor(2, 2)), 0);
    }
    EXPECT_TRUE(identifier.idle);
}

TEST(ClassifierMovement, LastsAtLeastThreeClassifiedWindowsEvenWhenQuiet) {
    Identifier identifier;
    identifier.reset(1, 2);
    const PairTable table = tableVotingFor(2, 2);
    const Bytes flat = flatWindow(1, kCentre);
    const Bytes swing = window(half({{20, 24}, {5, 6}}));

    classifyWindow(flat, identifier, table);
    classifyWindow(swing, identifier, table);  // variance 150 after 0: onset
    ASSERT_FALSE(identifier.idle);

    // Variances 150, 0 and 0 are all quiet, yet three windows are classified.
    EXPECT_EQ(classifyWindow(flat, identifier, table), 0);
    EXPECT_FALSE(identifier.idle);
    EXPECT_EQ(classifyWindow(flat, identifier, table), 2);
    EXPECT_FALSE(identifier.idle);
    EXPECT_EQ(classifyWindow(flat, identifier, table), 2);
    EXPECT_TRUE(identifier.idle);
    EXPECT_EQ(identifier.decisionCounts[2], 0u);
    EXPECT_EQ(identifier.h1, 0);
    EXPECT_EQ(identifier.h2, 0);

    EXPECT_EQ(classifyWindow(flat, identifier, table), 0);
}

TEST(ClassifierSmoothing, AWinnerMustRepeatWithinThreeWindowsToCount) {
    ActiveMovement movement(3);
    EXPECT_EQ(movement.resultsFor({2, 2, 3, 1}), (std::vector<int>{0, 2, 2, 0}));
}

TEST(ClassifierSmoothing, AClassDecidedThreeTimesIsHeldAgainstANewWinner) {
    ActiveMovement movement(3);
    EXPECT_EQ(movement.resultsFor({2, 2, 3, 3, 3, 1, 1, 1, 1}),
              (std::vector<int>{0, 2, 2, 3, 3, 3, 3, 3, 3}));
}

TEST(ClassifierSmoothing, ANewClassTakesOverOnceItsCountEqualsTheHeldOne) {
    ActiveMovement movement(3);
    EXPECT_EQ(movement.resultsFor({1, 1, 1, 1, 2, 2, 2, 2, 2, 2}),
              (std::vector<int>{0, 1, 1, 1, 1, 1, 1, 1, 2, 2}));
}

TEST(ClassifierSmoothing, EqualDecisionCountsHoldTheHigherClass) {
    // Class 2 reaches 3 decisions first; class 4 catches up at the last window.
    ActiveMovement movement(4);
    EXPECT_EQ(movement.resultsFor({2, 2, 2, 4, 4, 4, 4}), (std::vector<int>{0, 2, 2, 2, 2, 2, 4}));
    EXPECT_EQ(movement.identifier.decisionCounts[2], 3u);
    EXPECT_EQ(movement.identifier.decisionCounts[4], 3u);
}

TEST(ClassifierVotes, TiedVotesGoToTheHigherClass) {
    // Pairs (1,2) (1,3) (1,4) (2,3) (2,4) (3,4) vote 1 3 1 3 2 4: classes 1
    // and 3 have two votes each.
    ActiveMovement movement(4);
    PairTable table{};
    const float biases[] = {1, -1, 1, -1, 1, -1};
    for (std::size_t p = 0; p < 6; ++p) {
        table[p][0] = biases[p];
    }
    classifyWindow(window(half({{30, 32}})), movement.identifier, table);
    EXPECT_EQ(classifyWindow(window(half({{30, 32}})), movement.identifier, table), 3);
}

TEST(ClassifierVotes, ASumOfExactlyZeroVotesForTheFirstClassOfThePair) {
    ActiveMovement movement(2);
    const PairTable zero{};
    classifyWindow(window(half({{30, 32}})), movement.identifier, zero);
    EXPECT_EQ(classifyWindow(window(half({{30, 32}})), movement.identifier, zero), 1);
}

TEST(ClassifierVotes, FeaturesAreTheMeanAbsoluteCentredSamplesWeightedPerChannel) {
    // Pair (1,2) decides by f0 - f1: the louder channel wins.
    PairTable table{};
    table[0] = {0.0f, 1.0f, -1.0f};
    const auto twoChannels = [](const Bytes& first, const Bytes& second) {
        Bytes frames;
        for (std::size_t t = 0; t < first.size(); ++t) {
            frames.push_back(first[t]);
            frames.push_back(second[t]);
        }
        return frames;
    };
    const Bytes loud = window(half({{30, 32}}));
    const Bytes quiet = window(half({{2, 32}}));
    const auto run = [&](const Bytes& frames, Identifier& identifier) {
        identifier.reset(2, 2);
        std::vector<int> results;
        for (int i = 0; i < 4; ++i) {
            results.push_back(classifyWindow(frames, identifier, table));
        }
        return results;
    };

    Identifier firstLoud;
    EXPECT_EQ(run(twoChannels(loud, quiet), firstLoud), (std::vector<int>{0, 0, 0, 1}));
    EXPECT_NEAR(firstLoud.features[0], 30.0f * 128.0f / 130.0f, 1.0f);
    EXPECT_NEAR(firstLoud.features[1], 2.0f * 128.0f / 130.0f, 1.0f);
    Identifier secondLoud;
    EXPECT_EQ(run(twoChannels(quiet, loud), secondLoud), (std::vector<int>{0, 0, 0, 2}));
}

TEST(ClassifierInput, NoModelOrAWindowTooShortForItsChannelsIsNotClassified) {
    Identifier shortOfBytes;
    shortOfBytes.reset(4, 2);
    Identifier noModel;
    Identifier tooManyChannels;
    tooManyChannels.reset(9, 3);
    for (Identifier* identifier : {&shortOfBytes, &noModel, &tooManyChannels}) {
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(classifyWindow(Bytes(259, 200), *identifier, tableVotingFor(1, 2)), 0);
        }
        EXPECT_FALSE(identifier->primed);
    }
}

}  // namespace
