#include "signal/pair_training.h"
#include "signal/smo_state.h"

namespace {

// How often the solver looks whether it is asked to stop.
constexpr std::uint32_t kStopCheckIterations = 64;

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

float smoSolveWith(const SolverKernels& kernels, const float* samples, int D, std::size_t N,
                   const std::int32_t* labels, const SvmParams& params, float* alpha,
                   bool* reachedCap) {
    if (reachedCap != nullptr) {
        *reachedCap = false;
    }
    if (N == 0) {
        return 0.0f;
    }
    SmoState state(samples, D, N, labels, params.positiveBound, params.negativeBound, alpha,
                   kernels);
    Choice first = kernels.chooseLargestUp(state.g.data(), state.up.data(), state.g.size());
    for (std::uint32_t iteration = 0;; ++iteration) {
        // A choice that finds nothing leaves index 0 and value 0: i = 0 and
        // gmax = 0, j = 0 and gmin = 0.
        const std::size_t i = first.index;
        const float gmax = first.value;
        const float* Ki = state.kernel.row(i);
        Choice second =
            kernels.chooseBestGain(state.g.data(), state.down.data(), state.kernel.diagonal(), Ki,
                                   state.kernel.diagonal()[i], gmax, state.g.size());
        if (!second.found) {
            second = chooseSmallestDown(state);
        }
        const std::size_t j = second.index;
        const float gmin = second.found ? state.g[j] : 0.0f;

        if (params.tolerance >= gmax - gmin) {
            return (gmax + gmin) * 0.5f;
        }
        // A stop leaves the solver early; its caller drops the result.
        if (iteration % kStopCheckIterations == 0 && params.stop.stop_requested()) {
            return 0.0f;
        }
        if (iteration == params.maxIterations) {
            if (reachedCap != nullptr) {
                *reachedCap = true;
            }
            return (gmax + gmin) * 0.5f;
        }
        first = smoStep(state, i, j);
    }
}

float smoSolve(const float* samples, int D, std::size_t N, const std::int32_t* labels,
               const SvmParams& params, float* alpha, bool* reachedCap) {
    return smoSolveWith(solverKernels(), samples, D, N, labels, params, alpha, reachedCap);
}
