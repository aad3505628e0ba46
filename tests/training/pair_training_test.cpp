#include "training/pair_training.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/training/reference_training.h"
#include "training/generate_model.h"

namespace {

PairProblem problemOf(int D, const std::vector<std::vector<float>>& positives,
                      const std::vector<std::vector<float>>& negatives) {
    PairProblem problem;
    problem.D = D;
    for (const auto& x : positives) {
        problem.samples.insert(problem.samples.end(), x.begin(), x.end());
        problem.labels.push_back(1);
    }
    for (const auto& x : negatives) {
        problem.samples.insert(problem.samples.end(), x.begin(), x.end());
        problem.labels.push_back(-1);
    }
    problem.N = problem.labels.size();
    return problem;
}

std::string lineOf(const PairModel& model, int D) {
    std::string line;
    appendModelLine(model, D, line);
    return line;
}

TEST(DotProduct, SumsTheProductsInIndexOrderFromZero) {
    // Summed from the last index the result would be 0: 1 + 1e8 - 1e8 != 1e8 - 1e8 + 1.
    const float a[] = {1.0f, 1e8f, -1e8f};
    const float b[] = {1.0f, 1.0f, 1.0f};
    EXPECT_EQ(dotProduct(a, b, 3), 0.0f);
    const float c[] = {-1e8f, 1e8f, 1.0f};
    EXPECT_EQ(dotProduct(c, b, 3), 1.0f);
    EXPECT_EQ(dotProduct(a, b, 0), 0.0f);
}

TEST(PairTraining, PenaltiesAreBalancedBetweenTheClasses) {
    const PairProblem problem = problemOf(1, std::vector<std::vector<float>>(100, {2.0f}),
                                          std::vector<std::vector<float>>(300, {1.0f}));
    SvmParams params;
    PairModel model;
    ASSERT_TRUE(trainPair(problem, params, model));
    EXPECT_EQ(params.positiveBound, 2.0f);
    EXPECT_EQ(params.negativeBound, -2.0f / 3.0f);
    char text[32];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(-params.negativeBound));
    EXPECT_STREQ(text, "0.666667");
}

TEST(PairTraining, OneSampleEachInOneDimensionMeetsHalfWay) {
    const PairProblem problem = problemOf(1, {{3.0f}}, {{1.0f}});
    SvmParams params;
    PairModel model;
    ASSERT_TRUE(trainPair(problem, params, model));
    EXPECT_EQ(params.positiveBound, 1.0f);
    EXPECT_EQ(params.negativeBound, -1.0f);
    EXPECT_EQ(lineOf(model, 1), "1.000000 -2.000000\n");
    EXPECT_FALSE(model.reachedIterationCap);

    float alpha[2];
    EXPECT_EQ(smoSolve(problem.samples.data(), 1, 2, problem.labels.data(), params, alpha), -2.0f);
    EXPECT_EQ(alpha[0], 0.5f);
    EXPECT_EQ(alpha[1], 0.5f);
}

TEST(PairTraining, SymmetricSamplesGiveAZeroBias) {
    const PairProblem problem = problemOf(1, {{1.0f}}, {{-1.0f}});
    SvmParams params;
    PairModel model;
    ASSERT_TRUE(trainPair(problem, params, model));
    EXPECT_EQ(lineOf(model, 1), "1.000000 0.000000\n");
}

TEST(PairTraining, TwoDimensionsFindTheSeparatingLineAndIgnoreFarSamples) {
    const PairProblem problem = problemOf(2, {{3, 0}, {4, 1}}, {{1, 0}, {0, 1}});
    SvmParams params;
    PairModel model;
    ASSERT_TRUE(trainPair(problem, params, model));
    EXPECT_EQ(model.weights[0], 1.0f);
    EXPECT_EQ(model.weights[1], 0.0f);
    EXPECT_EQ(model.bias, -2.0f);
    EXPECT_EQ(lineOf(model, 2), "1.000000 0.000000 -2.000000\n");

    float alpha[4];
    smoSolve(problem.samples.data(), 2, 4, problem.labels.data(), params, alpha);
    EXPECT_EQ(alpha[1], 0.0f);
    EXPECT_EQ(alpha[3], 0.0f);
}

TEST(PairTraining, IdenticalSamplesEndTheSolveAtOnce) {
    // Every candidate j has zero curvature: the fallback picks the smallest g,
    // and the step keeps the multipliers where they are.
    const PairProblem problem = problemOf(2, {{5, 5}, {5, 5}}, {{5, 5}});
    SvmParams params;
    PairModel model;
    ASSERT_TRUE(trainPair(problem, params, model));
    const reference::Result expected = reference::trainPair(problem);
    EXPECT_EQ(model.bias, expected.bias);
    EXPECT_EQ(model.weights[0], expected.weights[0]);
    EXPECT_EQ(model.reachedIterationCap, expected.reachedCap);
}

TEST(PairTraining, ProblemsItCannotTrainAreRefused) {
    SvmParams params;
    PairModel model;
    model.bias = 7.0f;
    EXPECT_FALSE(trainPair(problemOf(1, {{1}, {2}}, {}), params, model));
    EXPECT_EQ(model.bias, 0.0f);
    EXPECT_FALSE(trainPair(problemOf(1, {}, {{1}}), params, model));
    PairProblem wide = problemOf(9, {std::vector<float>(9, 1)}, {std::vector<float>(9, 0)});
    EXPECT_FALSE(trainPair(wide, params, model));
    PairProblem shortSamples = problemOf(2, {{1, 2}}, {{3, 4}});
    shortSamples.samples.pop_back();
    EXPECT_FALSE(trainPair(shortSamples, params, model));
    PairProblem oddLabel = problemOf(1, {{1}}, {{2}});
    oddLabel.labels[1] = 0;
    EXPECT_FALSE(trainPair(oddLabel, params, model));
}

// Features of a few tens of counts: the multipliers of the support vectors
// stay below 0.001.
PairProblem smallMultiplierProblem() {
    return problemOf(2, {{60, 42}, {64, 50}, {70, 41}, {58, 47}},
                     {{30, 35}, {25, 40}, {33, 28}, {28, 31}});
}

TEST(PairTrainingWeights, MultipliersBelowOneThousandthStillCount) {
    const PairProblem problem = smallMultiplierProblem();
    SvmParams params;
    PairModel model;
    ASSERT_TRUE(trainPair(problem, params, model));

    std::vector<float> alpha(problem.N);
    smoSolve(problem.samples.data(), 2, problem.N, problem.labels.data(), params, alpha.data());
    float all[2] = {};
    float aboveThreshold[2] = {};
    bool small = false;
    for (std::size_t k = 0; k < problem.N; ++k) {
        small = small || (alpha[k] > 0.0f && alpha[k] <= 0.001f);
        for (int c = 0; c < 2; ++c) {
            const float term = problem.labels[k] * alpha[k] * problem.samples[k * 2 + c];
            if (alpha[k] > 0.0f) {
                all[c] = all[c] + term;
            }
            if (alpha[k] > 0.001f) {
                aboveThreshold[c] = aboveThreshold[c] + term;
            }
        }
    }
    ASSERT_TRUE(small) << "the problem must have a multiplier between 0 and 0.001";
    EXPECT_EQ(model.weights[0], all[0]);
    EXPECT_EQ(model.weights[1], all[1]);
    EXPECT_TRUE(model.weights[0] != aboveThreshold[0] || model.weights[1] != aboveThreshold[1]);
    // The model separates its own training samples.
    for (std::size_t k = 0; k < problem.N; ++k) {
        const float v = model.bias + model.weights[0] * problem.samples[k * 2] +
                        model.weights[1] * problem.samples[k * 2 + 1];
        EXPECT_EQ(v >= 0.0f, problem.labels[k] == 1) << "sample " << k;
    }
}

TEST(PairTrainingWeights, MultipliersThatStayAtZeroContributeNothing) {
    const PairProblem problem = problemOf(1, {{3}, {100}}, {{1}, {-100}});
    SvmParams params;
    PairModel model;
    ASSERT_TRUE(trainPair(problem, params, model));
    float alpha[4];
    smoSolve(problem.samples.data(), 1, 4, problem.labels.data(), params, alpha);
    EXPECT_EQ(alpha[1], 0.0f);
    EXPECT_EQ(alpha[3], 0.0f);
    EXPECT_EQ(lineOf(model, 1), "1.000000 -2.000000\n");
}

// Overlapping classes that need many steps.
PairProblem overlappingProblem() {
    std::vector<std::vector<float>> positives;
    std::vector<std::vector<float>> negatives;
    for (int k = 0; k < 40; ++k) {
        positives.push_back(
            {static_cast<float>(40 + (k * 37) % 29), static_cast<float>(20 + (k * 11) % 23)});
        negatives.push_back(
            {static_cast<float>(30 + (k * 13) % 31), static_cast<float>(25 + (k * 7) % 19)});
    }
    return problemOf(2, positives, negatives);
}

TEST(IterationCap, AnUnfinishedSolveReturnsTheBiasOfTheStateReached) {
    const PairProblem problem = overlappingProblem();
    SvmParams params;
    params.maxIterations = 5;
    PairModel model;
    ASSERT_TRUE(trainPair(problem, params, model));
    EXPECT_TRUE(model.reachedIterationCap);
    EXPECT_NE(model.bias, 0.0f);

    const reference::Result expected = reference::trainPair(problem, 5);
    EXPECT_TRUE(expected.reachedCap);
    EXPECT_EQ(model.bias, expected.bias);
}

TEST(IterationCap, OverlappingClassesCanRunOutOfTheFullIterations) {
    const PairProblem problem = overlappingProblem();
    SvmParams params;
    PairModel model;
    ASSERT_TRUE(trainPair(problem, params, model));
    EXPECT_TRUE(model.reachedIterationCap);
    const reference::Result expected = reference::trainPair(problem);
    EXPECT_TRUE(expected.reachedCap);
    EXPECT_EQ(model.bias, expected.bias);
    EXPECT_NE(model.bias, 0.0f);
}

TEST(IterationCap, ASolveThatConvergesDoesNotReportTheCap) {
    SvmParams params;
    PairModel model;
    ASSERT_TRUE(trainPair(problemOf(2, {{3, 0}, {4, 1}}, {{1, 0}, {0, 1}}), params, model));
    EXPECT_FALSE(model.reachedIterationCap);
}

TEST(IterationCap, ACapOfZeroStepsGivesTheBiasOfTheStartingState) {
    // At the start g is +1 for every +1 sample and -1 for every -1 sample.
    const PairProblem problem = overlappingProblem();
    SvmParams params;
    params.maxIterations = 0;
    PairModel model;
    ASSERT_TRUE(trainPair(problem, params, model));
    EXPECT_TRUE(model.reachedIterationCap);
    EXPECT_EQ(model.bias, 0.0f);
    EXPECT_EQ(lineOf(model, 2), "0.000000 0.000000 0.000000\n");
}

}  // namespace
