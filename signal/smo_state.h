// The working state of one smoSolve call and its two-variable update step.
// Internal to the training numerics; owned by the solving call.
//
// The solver keeps g_k = y_k x G_k rather than the gradient G_k itself: since
// y_k is +1 or -1 and rounding is symmetric in sign, updating g_k by the
// negated term gives exactly y_k times the updated G_k.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "signal/kernel_row_cache.h"
#include "signal/solver_kernels.h"

struct SmoState {
    SmoState(const float* samples, int D, std::size_t N, const std::int32_t* labels,
             float positiveBound, float negativeBound, float* alpha, const SolverKernels& kernels);

    const SolverKernels& kernels;
    std::size_t N;
    float Cpos;                      // bound of the +1 multipliers
    float Cneg;                      // bound of the -1 multipliers (positive)
    float* alpha;                    // N multipliers, the caller's
    std::vector<float> y;            // labels as +1.0f / -1.0f, padded with 0
    std::vector<float> g;            // y_k x G_k, padded with 0
    std::vector<std::int32_t> up;    // -1 when y_k x alpha_k can still grow, else 0
    std::vector<std::int32_t> down;  // -1 when y_k x alpha_k can still shrink, else 0
    KernelRowCache kernel;

    float bound(std::size_t k) const { return y[k] > 0.0f ? Cpos : Cneg; }
    // Sets up[k] and down[k] for multiplier a of sample k.
    void setFlags(std::size_t k, float a);
};

inline constexpr float kBoundEpsilon = 0.001f;

// One two-variable update on samples i and j (chosen by the caller):
// multipliers, gradients and the flags of i and j. Returns the choice of i for
// the next iteration (the first up sample with the largest g), made while
// the gradients are updated.
Choice smoStep(SmoState& state, std::size_t i, std::size_t j);

struct SvmParams;

// smoSolve with the given variant of the passes over all samples.
float smoSolveWith(const SolverKernels& kernels, const float* samples, int D, std::size_t N,
                   const std::int32_t* labels, const SvmParams& params, float* alpha,
                   bool* reachedCap);
