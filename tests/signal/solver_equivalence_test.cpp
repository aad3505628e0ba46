// The server's pair trainer (cached kernel rows, several samples per
// instruction, pairs on worker threads) against the plain line-by-line
// trainer: the same bits on many random problems.
#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <string>
#include <vector>

#include "pipeline/generate_model.h"
#include "signal/kernel_row_cache.h"
#include "signal/pair_training_pool.h"
#include "signal/smo_state.h"
#include "tests/support/reference_training.h"

namespace {

enum class Shape { Uniform, Clusters, Duplicates, Identical, Tiny, Imbalanced };

std::uint32_t bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

std::vector<const SolverKernels*> variants() {
    std::vector<const SolverKernels*> all{&genericSolverKernels()};
    if (avx2SolverKernels() != nullptr) {
        all.push_back(avx2SolverKernels());
    }
    return all;
}

// Random problems with values of six decimals, as the feature files hold.
class Generator {
  public:
    explicit Generator(std::uint32_t seed) : engine_(seed) {}

    std::uint32_t below(std::uint32_t n) { return engine_() % n; }
    float decimal(float top) {
        return static_cast<float>(below(static_cast<std::uint32_t>(top * 1e6f) + 1)) / 1e6f;
    }

    PairProblem problem(Shape shape) {
        PairProblem p;
        p.D = 1 + static_cast<int>(below(8));
        const std::size_t positives = shape == Shape::Imbalanced ? 1 + below(3) : 1 + below(60);
        p.N = positives + (shape == Shape::Imbalanced ? 30 + below(60) : 1 + below(60));
        std::vector<float> centres(2 * static_cast<std::size_t>(p.D));
        for (float& centre : centres) {
            centre = decimal(60.0f);
        }
        for (std::size_t k = 0; k < p.N; ++k) {
            p.labels.push_back(k < positives ? 1 : -1);
            // Duplicates: three distinct rows shared by both classes; Identical: one.
            const std::size_t copies = shape == Shape::Duplicates  ? 3
                                       : shape == Shape::Identical ? 1
                                                                   : p.N;
            const std::size_t from = k < copies ? k : below(static_cast<std::uint32_t>(copies));
            for (int c = 0; c < p.D; ++c) {
                const float centre = centres[(k < positives ? 0 : 1) * p.D + c];
                p.samples.push_back(k != from                 ? p.samples[from * p.D + c]
                                    : shape == Shape::Uniform ? decimal(255.0f)
                                    : shape == Shape::Tiny    ? decimal(0.03f)
                                                              : centre + decimal(30.0f));
            }
        }
        return p;
    }

  private:
    std::mt19937 engine_;
};

class SolverEquivalence : public testing::TestWithParam<Shape> {};

TEST_P(SolverEquivalence, TheServerTrainerGivesThePlainTrainersBits) {
    Generator generator(1234u + static_cast<std::uint32_t>(GetParam()));
    int capped = 0, tinyMultipliers = 0, flatSteps = 0, fallbacks = 0;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("problem " + std::to_string(round));
        const PairProblem problem = generator.problem(GetParam());
        const std::uint32_t cap = generator.below(4) == 0 ? generator.below(300) : 15000;
        const reference::Result expected = reference::trainPair(problem, cap);
        SvmParams params;
        params.maxIterations = cap;
        PairModel model;
        ASSERT_TRUE(trainPair(problem, params, model));
        ASSERT_EQ(bits(params.positiveBound), bits(expected.positiveBound));
        ASSERT_EQ(bits(params.negativeBound), bits(expected.negativeBound));
        EXPECT_EQ(bits(model.bias), bits(expected.bias));
        EXPECT_EQ(model.reachedIterationCap, expected.reachedCap);
        PairModel plain;
        plain.bias = expected.bias;
        for (int c = 0; c < problem.D; ++c) {
            EXPECT_EQ(bits(model.weights[c]), bits(expected.weights[c])) << "weight " << c;
            plain.weights[c] = expected.weights[c];
        }
        std::string line, plainLine;
        appendModelLine(model, problem.D, line);
        appendModelLine(plain, problem.D, plainLine);
        EXPECT_EQ(line, plainLine);
        for (const SolverKernels* kernels : variants()) {
            std::vector<float> alpha(problem.N);
            bool reachedCap = false;
            EXPECT_EQ(bits(smoSolveWith(*kernels, problem.samples.data(), problem.D, problem.N,
                                        problem.labels.data(), params, alpha.data(), &reachedCap)),
                      bits(expected.bias))
                << kernels->name;
            EXPECT_EQ(reachedCap, expected.reachedCap) << kernels->name;
            for (std::size_t k = 0; k < problem.N; ++k) {
                ASSERT_EQ(bits(alpha[k]), bits(expected.alpha[k]))
                    << kernels->name << " multiplier " << k;
            }
        }
        capped += expected.reachedCap;
        flatSteps += expected.flatSteps;
        fallbacks += expected.fallbackChoices;
        for (float a : expected.alpha) {
            tinyMultipliers += a > 0.0f && a <= 0.001f;
        }
    }
    // The problems must reach the solver's rarer paths.
    const Shape shape = GetParam();
    if (shape == Shape::Uniform || shape == Shape::Clusters) {
        EXPECT_GT(tinyMultipliers, 0) << "multipliers between 0 and 0.001";
    }
    if (shape != Shape::Tiny && shape != Shape::Identical) {
        EXPECT_GT(capped, 0) << "solves that reach the iteration cap";
    }
    if (shape == Shape::Identical) {
        EXPECT_GT(flatSteps, 0) << "steps along a flat segment";
    }
    if (shape == Shape::Tiny) {
        EXPECT_GT(fallbacks, 0) << "j chosen by the smallest g";
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, SolverEquivalence,
                         testing::Values(Shape::Uniform, Shape::Clusters, Shape::Duplicates,
                                         Shape::Identical, Shape::Tiny, Shape::Imbalanced));

TEST(ParallelTraining, PairsTrainedTogetherMatchPairsTrainedAlone) {
    Generator generator(99);
    std::vector<PairProblem> problems;
    for (int p = 0; p < 12; ++p) {
        problems.push_back(generator.problem(p % 2 == 0 ? Shape::Clusters : Shape::Uniform));
    }
    problems[5].labels.assign(problems[5].N, 1);  // one class only: cannot be trained
    std::vector<PairModel> models;
    std::vector<bool> ok;
    trainPairsInParallel(problems, models, ok, 3);
    ASSERT_EQ(models.size(), problems.size());
    for (std::size_t p = 0; p < problems.size(); ++p) {
        SvmParams params;
        PairModel alone;
        EXPECT_EQ(ok[p], trainPair(problems[p], params, alone)) << p;
        EXPECT_EQ(bits(models[p].bias), bits(alone.bias)) << p;
        EXPECT_EQ(bits(models[p].weights[0]), bits(alone.weights[0])) << p;
    }
    EXPECT_FALSE(ok[5]);
}

TEST(KernelRowCache, RowsHoldTheDotProductsAndOldRowsAreRecomputedAlike) {
    Generator generator(7);
    const PairProblem problem = generator.problem(Shape::Uniform);
    const std::size_t N = problem.N, D = static_cast<std::size_t>(problem.D);
    for (const SolverKernels* kernels : variants()) {
        KernelRowCache cache(problem.samples.data(), problem.D, N, 0, *kernels);  // two rows only
        for (std::size_t i = 0; i < N; ++i) {
            const float* row = cache.row(i);
            for (std::size_t k = 0; k < N; ++k) {
                ASSERT_EQ(bits(row[k]), bits(dotProduct(&problem.samples[i * D],
                                                        &problem.samples[k * D], problem.D)));
            }
            ASSERT_EQ(bits(cache.diagonal()[i]), bits(row[i]));
        }
        const float* first = cache.row(1);
        const std::vector<float> copy(first, first + N);
        cache.row(2);  // a row stays valid while one other is fetched
        EXPECT_EQ(std::vector<float>(first, first + N), copy);
        const std::size_t computed = cache.rowsComputed();
        cache.row(3);  // evicts row 1, the least recently used
        cache.row(2);
        EXPECT_EQ(cache.rowsComputed(), computed + 1);
        cache.row(1);
        EXPECT_EQ(cache.rowsComputed(), computed + 2);
    }
}

}  // namespace
