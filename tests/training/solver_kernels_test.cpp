#include "training/solver_kernels.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class SolverKernelVariants : public testing::TestWithParam<bool> {
  protected:
    // The generic variant, or the AVX2 one when the processor has it.
    const SolverKernels* kernels() const {
        return GetParam() ? avx2SolverKernels() : &genericSolverKernels();
    }
    void SetUp() override {
        if (kernels() == nullptr) {
            GTEST_SKIP() << "this processor has no AVX2";
        }
    }
};

constexpr std::int32_t kSet = -1;

TEST_P(SolverKernelVariants, TheLargestUpValueGoesToItsLowestIndex) {
    const std::size_t length = paddedLength(21);
    std::vector<float> g(length, 0.0f);
    std::vector<std::int32_t> up(length, 0);
    for (std::size_t k = 0; k < 21; ++k) {
        g[k] = static_cast<float>(k % 5);
        up[k] = k >= 2 ? kSet : 0;
    }
    g[0] = 9.0f;  // larger, but not up
    g[11] = 7.0f;
    g[18] = 7.0f;
    g[13] = 7.0f;
    const Choice choice = kernels()->chooseLargestUp(g.data(), up.data(), length);
    EXPECT_TRUE(choice.found);
    EXPECT_EQ(choice.index, 11u);
    EXPECT_EQ(choice.value, 7.0f);
}

TEST_P(SolverKernelVariants, NoUpSampleFindsNothing) {
    const std::size_t length = paddedLength(5);
    std::vector<float> g(length, 1.0f);
    std::vector<std::int32_t> up(length, 0);
    const Choice choice = kernels()->chooseLargestUp(g.data(), up.data(), length);
    EXPECT_FALSE(choice.found);
    EXPECT_EQ(choice.index, 0u);
    EXPECT_EQ(choice.value, 0.0f);
}

TEST_P(SolverKernelVariants, TheBestGainSkipsFlatAndHigherSamples) {
    // Samples on a line at x = k; i is sample 0 at x = 0, gmax = 1.
    const std::size_t length = paddedLength(12);
    std::vector<float> g(length, 0.0f);
    std::vector<std::int32_t> down(length, 0);
    std::vector<float> diagonal(length, 0.0f);
    std::vector<float> Ki(length, 0.0f);
    for (std::size_t k = 0; k < 12; ++k) {
        diagonal[k] = static_cast<float>(k * k);
        down[k] = kSet;
        g[k] = 0.0f;
    }
    g[3] = 2.0f;   // above gmax: no candidate
    g[5] = -3.0f;  // gain 16 / 50
    g[1] = -1.0f;  // gain 4 / 2: the best
    g[7] = -6.0f;  // gain 49 / 98: 0.5
    g[9] = -1.0e6f;
    down[9] = 0;  // not down
    const Choice best = kernels()->chooseBestGain(g.data(), down.data(), diagonal.data(), Ki.data(),
                                                  0.0f, 1.0f, length);
    EXPECT_TRUE(best.found);
    EXPECT_EQ(best.index, 1u);
    EXPECT_EQ(best.value, 2.0f);

    // Sample 0 is i itself: its curvature 0 keeps it out.
    std::vector<float> flat(length, 0.0f);
    std::vector<float> zeros(length, 0.0f);
    const Choice none = kernels()->chooseBestGain(g.data(), down.data(), flat.data(), zeros.data(),
                                                  0.0f, 1.0f, length);
    EXPECT_FALSE(none.found);
}

TEST_P(SolverKernelVariants, EqualGainsGoToTheLowestIndex) {
    const std::size_t length = paddedLength(16);
    std::vector<float> g(length, -1.0f);
    std::vector<std::int32_t> down(length, 0);
    std::vector<float> diagonal(length, 1.0f);
    std::vector<float> Ki(length, 0.0f);
    down[14] = kSet;
    down[6] = kSet;
    const Choice best = kernels()->chooseBestGain(g.data(), down.data(), diagonal.data(), Ki.data(),
                                                  1.0f, 0.0f, length);
    EXPECT_EQ(best.index, 6u);
}

TEST_P(SolverKernelVariants, TheGradientPassUpdatesEverySampleAndChoosesTheNextI) {
    const std::size_t length = paddedLength(10);
    std::vector<float> g(length, 0.0f);
    std::vector<float> Ki(length, 0.0f);
    std::vector<float> Kj(length, 0.0f);
    std::vector<std::int32_t> up(length, 0);
    for (std::size_t k = 0; k < 10; ++k) {
        g[k] = 1.0f;
        Ki[k] = static_cast<float>(k);
        Kj[k] = 1.0f;
        up[k] = k % 2 == 1 ? kSet : 0;
    }
    // g - (2 x 1 + -0.5 x k) = -1 + 0.5 k
    const Choice next =
        kernels()->updateGradient(g.data(), Ki.data(), Kj.data(), -0.5f, 2.0f, up.data(), length);
    for (std::size_t k = 0; k < 10; ++k) {
        EXPECT_EQ(g[k], -1.0f + 0.5f * static_cast<float>(k)) << k;
    }
    EXPECT_EQ(g[10], 0.0f) << "padding stays zero";
    EXPECT_EQ(next.index, 9u);
    EXPECT_EQ(next.value, 3.5f);
}

INSTANTIATE_TEST_SUITE_P(Widths, SolverKernelVariants, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Avx2" : "Generic";
                         });

}  // namespace
