#include <cmath>
#include <limits>

#include "training/float_lanes.h"
#include "training/pair_training.h"
#include "training/smo_state.h"

namespace {

constexpr float kNone = -std::numeric_limits<float>::infinity();

struct Choice {
    std::size_t index = 0;
    float value = 0.0f;
    bool found = false;
};

// Among the lanes' running best values and indices (each lane holding the
// first occurrence of its largest value), the lowest index of the largest value.
Choice firstOfLargest(FloatLanes best, MaskLanes index) {
    Choice choice;
    choice.value = kNone;
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
        const std::size_t k = static_cast<std::size_t>(index[lane]);
        if (best[lane] > choice.value || (best[lane] == choice.value && k < choice.index)) {
            choice.value = best[lane];
            choice.index = k;
        }
    }
    choice.found = choice.value != kNone;
    return choice;
}

// i: among the samples with up set, the first with the largest g.
Choice chooseI(const SmoState& state) {
    FloatLanes best = broadcastLanes(kNone);
    MaskLanes bestIndex = {};
    MaskLanes index = {0, 1, 2, 3};
    const FloatLanes none = broadcastLanes(kNone);
    for (std::size_t k = 0; k < state.g.size(); k += kLanes) {
        const MaskLanes up = loadMask(&state.up[k]);
        const FloatLanes value = up ? loadLanes(&state.g[k]) : none;
        const MaskLanes better = value > best;
        best = better ? value : best;
        bestIndex = better ? index : bestIndex;
        index += static_cast<std::int32_t>(kLanes);
    }
    return firstOfLargest(best, bestIndex);
}

// j by second-order information: among the samples with down set and
// g < gmax whose curvature a exceeds 0.001, the first with the largest b^2 / a.
Choice chooseJ(SmoState& state, std::size_t i, float gmax, const float* Ki) {
    const float* Kdiag = state.kernel.diagonal();
    const FloatLanes Kii2 = broadcastLanes(2.0f * Kdiag[i]);
    const FloatLanes top = broadcastLanes(gmax);
    const FloatLanes minimumCurvature = broadcastLanes(0.001f);
    const FloatLanes none = broadcastLanes(kNone);
    const FloatLanes one = broadcastLanes(1.0f);
    FloatLanes best = none;
    MaskLanes bestIndex = {};
    MaskLanes index = {0, 1, 2, 3};
    for (std::size_t k = 0; k < state.g.size(); k += kLanes) {
        const FloatLanes g = loadLanes(&state.g[k]);
        const FloatLanes b = g - top;
        const FloatLanes a = 2.0f * loadLanes(Kdiag + k) - 4.0f * loadLanes(Ki + k) + Kii2;
        const MaskLanes candidate = loadMask(&state.down[k]) & (g < top) & (a > minimumCurvature);
        const FloatLanes gain = candidate ? b * b / (candidate ? a : one) : none;
        const MaskLanes better = gain > best;
        best = better ? gain : best;
        bestIndex = better ? index : bestIndex;
        index += static_cast<std::int32_t>(kLanes);
    }
    return firstOfLargest(best, bestIndex);
}

// Fallback j: among the samples with down set, the first with the smallest g.
Choice chooseSmallestDown(const SmoState& state) {
    Choice choice;
    for (std::size_t k = 0; k < state.N; ++k) {
        if (state.down[k] != 0 && (!choice.found || state.g[k] < choice.value)) {
            choice.found = true;
            choice.index = k;
            choice.value = state.g[k];
        }
    }
    return choice;
}

}  // namespace

float smoSolve(const float* samples, int D, std::size_t N, const std::int32_t* labels,
               const SvmParams& params, float* alpha, bool* reachedCap) {
    if (reachedCap != nullptr) {
        *reachedCap = false;
    }
    if (N == 0) {
        return 0.0f;
    }
    SmoState state(samples, D, N, labels, params.positiveBound, params.negativeBound, alpha);
    for (std::uint32_t iteration = 0;; ++iteration) {
        // Unfound choices keep index 0 and value 0, as i = 0, gmax = 0 and j = 0, gmin = 0.
        const Choice first = chooseI(state);
        const std::size_t i = first.found ? first.index : 0;
        const float gmax = first.found ? state.g[i] : 0.0f;

        const float* Ki = state.kernel.row(i);
        Choice second = chooseJ(state, i, gmax, Ki);
        if (!second.found) {
            second = chooseSmallestDown(state);
        }
        const std::size_t j = second.found ? second.index : 0;
        const float gmin = second.found ? state.g[j] : 0.0f;

        if (params.tolerance >= gmax - gmin) {
            return (gmax + gmin) * 0.5f;
        }
        if (iteration == params.maxIterations) {
            if (reachedCap != nullptr) {
                *reachedCap = true;
            }
            return (gmax + gmin) * 0.5f;
        }
        smoStep(state, i, j);
    }
}
