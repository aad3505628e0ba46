// The passes of solver_kernels.h for W lanes. Included only by the files that
// instantiate a variant, each after choosing its instruction set. Everything
// here has internal linkage, so each variant keeps its own copy compiled for
// its own instruction set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "signal/solver_kernels.h"

namespace {

// The vector types of each width (the compiler takes vector sizes only as
// constants, not as template arguments).
template <std::size_t W>
struct LaneTypes;
template <>
struct LaneTypes<4> {
    using FloatLanes = float __attribute__((vector_size(16)));
    using MaskLanes = std::int32_t __attribute__((vector_size(16)));
};
template <>
struct LaneTypes<8> {
    using FloatLanes = float __attribute__((vector_size(32)));
    using MaskLanes = std::int32_t __attribute__((vector_size(32)));
};

// W floats side by side, W 32-bit masks beside them, and their loads and stores.
template <std::size_t W>
struct Lanes {
    using FloatLanes = typename LaneTypes<W>::FloatLanes;
    using MaskLanes = typename LaneTypes<W>::MaskLanes;
    static FloatLanes load(const float* from) {
        FloatLanes lanes;
        std::memcpy(&lanes, from, sizeof lanes);
        return lanes;
    }
    static MaskLanes loadMask(const std::int32_t* from) {
        MaskLanes lanes;
        std::memcpy(&lanes, from, sizeof lanes);
        return lanes;
    }
    static void store(float* to, FloatLanes lanes) { std::memcpy(to, &lanes, sizeof lanes); }
    static FloatLanes broadcast(float value) { return FloatLanes{} + value; }
    static bool none(MaskLanes mask) {
        std::int32_t any = 0;
        for (std::size_t lane = 0; lane < W; ++lane) {
            any |= mask[lane];
        }
        return any == 0;
    }
    static MaskLanes firstIndices() {
        MaskLanes indices{};
        for (std::size_t lane = 0; lane < W; ++lane) {
            indices[lane] = static_cast<std::int32_t>(lane);
        }
        return indices;
    }
};

constexpr float kNoValue = -std::numeric_limits<float>::infinity();

// Per-lane running best of a pass: each lane keeps the first occurrence of its
// largest value; reduce() returns the lowest index of the overall largest.
template <std::size_t W>
struct RunningBest {
    using F = typename Lanes<W>::FloatLanes;
    using M = typename Lanes<W>::MaskLanes;

    RunningBest()
        : best(Lanes<W>::broadcast(kNoValue)), bestIndex{}, index(Lanes<W>::firstIndices()) {}
    RunningBest(const RunningBest&) = delete;
    RunningBest& operator=(const RunningBest&) = delete;

    F best;
    M bestIndex;
    M index;

    void take(F value) {
        const M better = value > best;
        best = better ? value : best;
        bestIndex = better ? index : bestIndex;
        index += static_cast<std::int32_t>(W);
    }

    void skip() { index += static_cast<std::int32_t>(W); }

    Choice reduce() const {
        Choice choice;
        choice.value = kNoValue;
        for (std::size_t lane = 0; lane < W; ++lane) {
            const std::size_t k = static_cast<std::size_t>(bestIndex[lane]);
            if (best[lane] > choice.value || (best[lane] == choice.value && k < choice.index)) {
                choice.value = best[lane];
                choice.index = k;
            }
        }
        if (choice.value == kNoValue) {
            return Choice{};
        }
        choice.found = true;
        return choice;
    }
};

template <std::size_t W>
Choice chooseLargestUp(const float* g, const std::int32_t* up, std::size_t length) {
    const auto none = Lanes<W>::broadcast(kNoValue);
    RunningBest<W> running;
    for (std::size_t k = 0; k < length; k += W) {
        running.take(Lanes<W>::loadMask(up + k) ? Lanes<W>::load(g + k) : none);
    }
    return running.reduce();
}

template <std::size_t W>
Choice chooseBestGain(const float* g, const std::int32_t* down, const float* diagonal,
                      const float* Ki, float Kii, float gmax, std::size_t length) {
    using L = Lanes<W>;
    const auto twiceKii = L::broadcast(2.0f * Kii);
    const auto top = L::broadcast(gmax);
    const auto smallestCurvature = L::broadcast(0.001f);
    const auto none = L::broadcast(kNoValue);
    const auto one = L::broadcast(1.0f);
    RunningBest<W> running;
    for (std::size_t k = 0; k < length; k += W) {
        const auto gk = L::load(g + k);
        const auto below = L::loadMask(down + k) & (gk < top);
        if (L::none(below)) {
            running.skip();
            continue;
        }
        const auto b = gk - top;
        const auto a = 2.0f * L::load(diagonal + k) - 4.0f * L::load(Ki + k) + twiceKii;
        const auto candidate = below & (a > smallestCurvature);
        running.take(candidate ? b * b / (candidate ? a : one) : none);
    }
    return running.reduce();
}

template <std::size_t W>
Choice updateGradient(float* g, const float* Ki, const float* Kj, float d1, float d2,
                      const std::int32_t* up, std::size_t length) {
    using L = Lanes<W>;
    const auto lanesD1 = L::broadcast(d1);
    const auto lanesD2 = L::broadcast(d2);
    const auto none = L::broadcast(kNoValue);
    RunningBest<W> running;
    for (std::size_t k = 0; k < length; k += W) {
        const auto updated =
            L::load(g + k) - (lanesD2 * L::load(Kj + k) + lanesD1 * L::load(Ki + k));
        L::store(g + k, updated);
        running.take(L::loadMask(up + k) ? updated : none);
    }
    return running.reduce();
}

template <std::size_t W>
void kernelRow(const float* columns, std::size_t length, int D, const float* x, float* out) {
    using L = Lanes<W>;
    for (std::size_t k = 0; k < length; k += W) {
        typename L::FloatLanes sum = {};
        for (int c = 0; c < D; ++c) {
            sum = sum +
                  L::broadcast(x[c]) * L::load(columns + static_cast<std::size_t>(c) * length + k);
        }
        L::store(out + k, sum);
    }
}

template <std::size_t W>
void kernelDiagonal(const float* columns, std::size_t length, int D, float* out) {
    using L = Lanes<W>;
    for (std::size_t k = 0; k < length; k += W) {
        typename L::FloatLanes sum = {};
        for (int c = 0; c < D; ++c) {
            const auto x = L::load(columns + static_cast<std::size_t>(c) * length + k);
            sum = sum + x * x;
        }
        L::store(out + k, sum);
    }
}

template <std::size_t W>
constexpr SolverKernels kernelsOfWidth(const char* name) {
    return SolverKernels{&chooseLargestUp<W>, &chooseBestGain<W>, &updateGradient<W>,
                         &kernelRow<W>,       &kernelDiagonal<W>, name};
}

}  // namespace
