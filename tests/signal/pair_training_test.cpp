#include "signal/pair_training.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/generate_model.h"
#include "tests/support/feature_text.h"
#include "tests/support/reference_training.h"
#include "tests/support/temp_dir.h"

namespace {

using Rows = std::vector<std::vector<float>>;

PairProblem problemOf(int D, const Rows& positives, const Rows& negatives) {
    PairProblem problem;
    problem.D = D;
    for (const Rows* rows : {&positives, &negatives}) {
        for (const auto& x : *rows) {
            problem.samples.insert(problem.samples.end(), x.begin(), x.end());
            problem.labels.push_back(rows == &positives ? 1 : -1);
        }
    }
    problem.N = problem.labels.size();
    return problem;
}

struct Trained {
    SvmParams params;
    PairModel model;
    std::vector<float> alpha;
    std::string line;
};

Trained train(const PairProblem& problem, std::uint32_t maxIterations = 15000) {
    Trained t;
    t.params.maxIterations = maxIterations;
    EXPECT_TRUE(trainPair(problem, t.params, t.model));
    t.alpha.resize(problem.N);
    smoSolve(problem.samples.data(), problem.D, problem.N, problem.labels.data(), t.params,
             t.alpha.data());
    appendModelLine(t.model, problem.D, t.line);
    return t;
}

TEST(DotProduct, SumsTheProductsInIndexOrderFromZero) {
    const float a[] = {1.0f, 1e8f, -1e8f}, b[] = {-1e8f, 1e8f, 1.0f}, ones[] = {1.0f, 1.0f, 1.0f};
    EXPECT_EQ(dotProduct(a, ones, 3), 0.0f);  // 1 is lost in 1e8 before -1e8 comes
    EXPECT_EQ(dotProduct(b, ones, 3), 1.0f);
    EXPECT_EQ(dotProduct(a, ones, 0), 0.0f);
}

TEST(PairTraining, PenaltiesAreBalancedBetweenTheClasses) {
    const Trained t = train(problemOf(1, Rows(100, {2.0f}), Rows(300, {1.0f})));
    EXPECT_EQ(t.params.positiveBound, 2.0f);
    EXPECT_EQ(t.params.negativeBound, -2.0f / 3.0f);
    EXPECT_EQ(featureText({-t.params.negativeBound}), "0.666667 ");
}

TEST(PairTraining, OneSampleEachInOneDimensionMeetsHalfWay) {
    const Trained t = train(problemOf(1, {{3.0f}}, {{1.0f}}));
    EXPECT_EQ(t.params.positiveBound, 1.0f);
    EXPECT_EQ(t.params.negativeBound, -1.0f);
    EXPECT_EQ(t.alpha, (std::vector<float>{0.5f, 0.5f}));
    EXPECT_EQ(t.line, "1.000000 -2.000000\n");
    EXPECT_FALSE(t.model.reachedIterationCap);
    EXPECT_EQ(train(problemOf(1, {{1.0f}}, {{-1.0f}})).line, "1.000000 0.000000\n");
}

TEST(PairTraining, TwoDimensionsFindTheSeparatingLineAndIgnoreFarSamples) {
    const Trained t = train(problemOf(2, {{3, 0}, {4, 1}}, {{1, 0}, {0, 1}}));
    EXPECT_EQ(t.line, "1.000000 0.000000 -2.000000\n");
    EXPECT_EQ(t.model.bias, -2.0f);
    EXPECT_EQ(t.alpha[1], 0.0f);
    EXPECT_EQ(t.alpha[3], 0.0f);
    // Far samples that stay at 0 change nothing.
    EXPECT_EQ(train(problemOf(1, {{3}, {100}}, {{1}, {-100}})).line, "1.000000 -2.000000\n");
}

TEST(PairTraining, ProblemsItCannotTrainAreRefused) {
    PairProblem shortSamples = problemOf(2, {{1, 2}}, {{3, 4}});
    shortSamples.samples.pop_back();
    PairProblem oddLabel = problemOf(1, {{1}}, {{2}});
    oddLabel.labels[1] = 0;
    for (const PairProblem& problem :
         {problemOf(1, {{1}, {2}}, {}), problemOf(1, {}, {{1}}),
          problemOf(9, {Rows::value_type(9, 1)}, {Rows::value_type(9, 0)}), shortSamples,
          oddLabel}) {
        SvmParams params;
        PairModel model;
        model.bias = 7.0f;
        EXPECT_FALSE(trainPair(problem, params, model));
        EXPECT_EQ(model.bias, 0.0f);
    }
}

TEST(PairTrainingWeights, MultipliersBelowOneThousandthStillCount) {
    // Features of a few tens of counts: support vectors get tiny multipliers.
    const PairProblem problem = problemOf(2, {{60, 42}, {64, 50}, {70, 41}, {58, 47}},
                                          {{30, 35}, {25, 40}, {33, 28}, {28, 31}});
    const Trained t = train(problem);
    float all[2] = {}, aboveThreshold[2] = {};
    bool tiny = false;
    for (std::size_t k = 0; k < problem.N; ++k) {
        tiny = tiny || (t.alpha[k] > 0.0f && t.alpha[k] <= 0.001f);
        for (int c = 0; c < 2; ++c) {
            const float term = problem.labels[k] * t.alpha[k] * problem.samples[k * 2 + c];
            all[c] = t.alpha[k] > 0.0f ? all[c] + term : all[c];
            aboveThreshold[c] = t.alpha[k] > 0.001f ? aboveThreshold[c] + term : aboveThreshold[c];
        }
    }
    ASSERT_TRUE(tiny) << "the problem must have a multiplier between 0 and 0.001";
    EXPECT_EQ(t.model.weights[0], all[0]);
    EXPECT_EQ(t.model.weights[1], all[1]);
    EXPECT_TRUE(all[0] != aboveThreshold[0] || all[1] != aboveThreshold[1]);
    for (std::size_t k = 0; k < problem.N; ++k) {  // and the model separates its samples
        const float v = t.model.bias + t.model.weights[0] * problem.samples[k * 2] +
                        t.model.weights[1] * problem.samples[k * 2 + 1];
        EXPECT_EQ(v >= 0.0f, problem.labels[k] == 1) << "sample " << k;
    }
}

// Two heavily overlapping classes.
PairProblem overlapping() {
    Rows positives, negatives;
    for (int k = 0; k < 40; ++k) {
        positives.push_back({40.0f + (k * 37) % 29, 20.0f + (k * 11) % 23});
        negatives.push_back({30.0f + (k * 13) % 31, 25.0f + (k * 7) % 19});
    }
    return problemOf(2, positives, negatives);
}

TEST(IterationCap, AnUnfinishedSolveReturnsTheBiasOfTheStateReached) {
    const PairProblem problem = overlapping();
    for (std::uint32_t cap : {5u, 15000u}) {
        const Trained t = train(problem, cap);
        const reference::Result expected = reference::trainPair(problem, cap);
        EXPECT_TRUE(t.model.reachedIterationCap) << cap;
        EXPECT_TRUE(expected.reachedCap) << cap;
        EXPECT_EQ(t.model.bias, expected.bias) << cap;
        EXPECT_NE(t.model.bias, 0.0f) << cap;
    }
    // With no step at all, g is +1 for every +1 sample and -1 for every -1 one.
    EXPECT_EQ(train(problem, 0).line, "0.000000 0.000000 0.000000\n");
}

}  // namespace
