// The server's pair trainer (cached kernel rows, several samples per
// instruction, pairs on worker threads) against the plain line-by-line
// trainer: the same bits on many random problems.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/training/reference_training.h"
#include "training/generate_model.h"
#include "training/kernel_row_cache.h"
#include "training/pair_training.h"
#include "training/pair_training_pool.h"
#include "training/smo_state.h"
#include "training/solver_kernels.h"

namespace {

enum class Shape { Uniform, Clusters, Duplicates, Identical, Tiny, Imbalanced };

struct RandomProblem {
    PairProblem problem;
    std::uint32_t maxIterations = 15000;
};

class Generator {
  public:
    explicit Generator(std::uint32_t seed) : engine_(seed) {}

    // 0 <= result < n
    std::uint32_t below(std::uint32_t n) { return engine_() % n; }
    // A value with six decimals, as the feature files hold, between 0 and top.
    float decimal(float top) {
        return static_cast<float>(below(static_cast<std::uint32_t>(top * 1e6f) + 1)) / 1e6f;
    }

    RandomProblem problem(Shape shape) {
        RandomProblem random;
        PairProblem& p = random.problem;
        p.D = 1 + static_cast<int>(below(8));
        std::size_t positives = 1 + below(60);
        std::size_t negatives = 1 + below(60);
        if (shape == Shape::Imbalanced) {
            positives = 1 + below(3);
            negatives = 30 + below(60);
        }
        p.N = positives + negatives;
        std::vector<float> centreI(static_cast<std::size_t>(p.D));
        std::vector<float> centreJ(static_cast<std::size_t>(p.D));
        for (int c = 0; c < p.D; ++c) {
            centreI[static_cast<std::size_t>(c)] = decimal(60.0f);
            centreJ[static_cast<std::size_t>(c)] = decimal(60.0f);
        }
        for (std::size_t k = 0; k < p.N; ++k) {
            const bool positive = k < positives;
            p.labels.push_back(positive ? 1 : -1);
            const std::size_t row = p.samples.size();
            for (int c = 0; c < p.D; ++c) {
                const float centre = (positive ? centreI : centreJ)[static_cast<std::size_t>(c)];
                float value;
                switch (shape) {
                    case Shape::Uniform:
                        value = decimal(255.0f);
                        break;
                    case Shape::Tiny:
                        value = decimal(0.03f);
                        break;
                    default:
                        value = centre + decimal(30.0f);
                        break;
                }
                p.samples.push_back(value);
            }
            if ((shape == Shape::Duplicates && k >= 3) || (shape == Shape::Identical && k >= 1)) {
                // Only three distinct rows (or one), shared by both classes.
                const std::size_t from =
                    (shape == Shape::Identical ? 0 : below(3)) * static_cast<std::size_t>(p.D);
                for (int c = 0; c < p.D; ++c) {
                    p.samples[row + static_cast<std::size_t>(c)] =
                        p.samples[from + static_cast<std::size_t>(c)];
                }
            }
        }
        if (below(4) == 0) {
            random.maxIterations = below(300);
        }
        return random;
    }

  private:
    std::mt19937 engine_;
};

std::uint32_t bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

struct Coverage {
    int capped = 0;
    int smallMultipliers = 0;
    int flatSteps = 0;
    int flatStepsToUpper = 0;
    int fallbackChoices = 0;
    int problems = 0;
};

void expectSameBits(const RandomProblem& random, Coverage& coverage) {
    const PairProblem& problem = random.problem;
    const reference::Result expected = reference::trainPair(problem, random.maxIterations);

    SvmParams params;
    params.maxIterations = random.maxIterations;
    PairModel model;
    ASSERT_TRUE(trainPair(problem, params, model));
    ASSERT_EQ(bits(params.positiveBound), bits(expected.positiveBound));
    ASSERT_EQ(bits(params.negativeBound), bits(expected.negativeBound));
    EXPECT_EQ(bits(model.bias), bits(expected.bias));
    EXPECT_EQ(model.reachedIterationCap, expected.reachedCap);
    std::vector<const SolverKernels*> variants{&genericSolverKernels()};
    if (avx2SolverKernels() != nullptr) {
        variants.push_back(avx2SolverKernels());
    }
    for (const SolverKernels* kernels : variants) {
        SCOPED_TRACE(kernels->name);
        std::vector<float> alpha(problem.N);
        bool capped = false;
        const float bias = smoSolveWith(*kernels, problem.samples.data(), problem.D, problem.N,
                                        problem.labels.data(), params, alpha.data(), &capped);
        EXPECT_EQ(bits(bias), bits(expected.bias));
        EXPECT_EQ(capped, expected.reachedCap);
        for (std::size_t k = 0; k < problem.N; ++k) {
            ASSERT_EQ(bits(alpha[k]), bits(expected.alpha[k])) << "multiplier " << k;
        }
    }
    PairModel plain;
    for (int c = 0; c < problem.D; ++c) {
        EXPECT_EQ(bits(model.weights[c]), bits(expected.weights[c])) << "weight " << c;
        plain.weights[c] = expected.weights[c];
    }
    plain.bias = expected.bias;
    std::string line;
    std::string plainLine;
    appendModelLine(model, problem.D, line);
    appendModelLine(plain, problem.D, plainLine);
    EXPECT_EQ(line, plainLine);

    ++coverage.problems;
    coverage.capped += expected.reachedCap;
    coverage.flatSteps += expected.flatSteps;
    coverage.flatStepsToUpper += expected.flatStepsToUpper;
    coverage.fallbackChoices += expected.fallbackChoices;
    for (float a : expected.alpha) {
        if (a > 0.0f && a <= 0.001f) {
            ++coverage.smallMultipliers;
            break;
        }
    }
}

class SolverEquivalence : public testing::TestWithParam<Shape> {};

TEST_P(SolverEquivalence, TheServerTrainerGivesThePlainTrainersBits) {
    Generator generator(1234u + static_cast<std::uint32_t>(GetParam()));
    Coverage coverage;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("problem " + std::to_string(round));
        expectSameBits(generator.problem(GetParam()), coverage);
        if (testing::Test::HasFatalFailure()) {
            return;
        }
    }
    switch (GetParam()) {
        case Shape::Uniform:
        case Shape::Clusters:
            EXPECT_GT(coverage.smallMultipliers, 0) << "multipliers between 0 and 0.001";
            EXPECT_GT(coverage.capped, 0) << "solves that reach the iteration cap";
            break;
        case Shape::Duplicates:
            EXPECT_GT(coverage.capped, 0) << "solves that reach the iteration cap";
            break;
        case Shape::Identical:
            EXPECT_GT(coverage.flatSteps, 0) << "steps along a flat segment";
            EXPECT_GT(coverage.flatStepsToUpper, 0) << "flat steps that go to the upper end";
            break;
        case Shape::Tiny:
            EXPECT_GT(coverage.fallbackChoices, 0) << "j chosen by the smallest g";
            break;
        case Shape::Imbalanced:
            EXPECT_GT(coverage.capped, 0) << "solves that reach the iteration cap";
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, SolverEquivalence,
                         testing::Values(Shape::Uniform, Shape::Clusters, Shape::Duplicates,
                                         Shape::Identical, Shape::Tiny, Shape::Imbalanced));

TEST(ParallelTraining, PairsTrainedTogetherMatchPairsTrainedAlone) {
    Generator generator(99);
    std::vector<PairProblem> problems;
    for (int p = 0; p < 12; ++p) {
        problems.push_back(
            generator.problem(p % 2 == 0 ? Shape::Clusters : Shape::Uniform).problem);
    }
    std::vector<PairModel> models;
    std::vector<bool> ok;
    trainPairsInParallel(problems, models, ok, 3);
    ASSERT_EQ(models.size(), problems.size());
    for (std::size_t p = 0; p < problems.size(); ++p) {
        SvmParams params;
        PairModel alone;
        ASSERT_TRUE(trainPair(problems[p], params, alone));
        ASSERT_TRUE(ok[p]);
        std::string together;
        std::string single;
        appendModelLine(models[p], problems[p].D, together);
        appendModelLine(alone, problems[p].D, single);
        EXPECT_EQ(together, single) << "pair " << p;
        EXPECT_EQ(bits(models[p].bias), bits(alone.bias));
    }
}

TEST(ParallelTraining, APairThatCannotBeTrainedIsReportedAndTheOthersStillAre) {
    std::vector<PairProblem> problems(3);
    for (PairProblem& p : problems) {
        p.D = 1;
        p.samples = {3.0f, 1.0f};
        p.labels = {1, -1};
        p.N = 2;
    }
    problems[1].labels = {1, 1};
    std::vector<PairModel> models;
    std::vector<bool> ok;
    trainPairsInParallel(problems, models, ok, 2);
    EXPECT_EQ(ok, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(models[2].bias, -2.0f);
}

TEST(KernelRowCache, RowsHoldTheDotProductsOfEverySample) {
    Generator generator(7);
    const PairProblem problem = generator.problem(Shape::Uniform).problem;
    std::vector<const SolverKernels*> variants{&genericSolverKernels()};
    if (avx2SolverKernels() != nullptr) {
        variants.push_back(avx2SolverKernels());
    }
    for (const SolverKernels* kernels : variants) {
        SCOPED_TRACE(kernels->name);
        KernelRowCache cache(problem.samples.data(), problem.D, problem.N, 1 << 20, *kernels);
        const std::size_t D = static_cast<std::size_t>(problem.D);
        for (std::size_t i = 0; i < problem.N; ++i) {
            const float* row = cache.row(i);
            for (std::size_t k = 0; k < problem.N; ++k) {
                ASSERT_EQ(bits(row[k]), bits(dotProduct(&problem.samples[i * D],
                                                        &problem.samples[k * D], problem.D)));
            }
            ASSERT_EQ(
                bits(cache.diagonal()[i]),
                bits(dotProduct(&problem.samples[i * D], &problem.samples[i * D], problem.D)));
        }
    }
}

TEST(KernelRowCache, ARowStaysValidWhileOneOtherIsFetchedAndOldRowsAreRecomputed) {
    std::vector<float> samples(64);
    for (std::size_t k = 0; k < samples.size(); ++k) {
        samples[k] = static_cast<float>(k % 7) + 0.5f;
    }
    KernelRowCache cache(samples.data(), 2, 32, 0);  // room for two rows only
    const float* first = cache.row(3);
    const std::vector<float> copy(first, first + 32);
    cache.row(5);
    EXPECT_EQ(std::vector<float>(first, first + 32), copy);
    EXPECT_EQ(cache.rowsComputed(), 2u);
    cache.row(5);
    EXPECT_EQ(cache.rowsComputed(), 2u);
    cache.row(9);  // evicts row 3, the least recently used
    cache.row(5);
    EXPECT_EQ(cache.rowsComputed(), 3u);
    const float* again = cache.row(3);
    EXPECT_EQ(cache.rowsComputed(), 4u);
    EXPECT_EQ(std::vector<float>(again, again + 32), copy);
}

}  // namespace
