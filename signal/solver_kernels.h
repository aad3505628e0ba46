// The solver's passes over all samples, written for several samples at a
// time. Every lane performs exactly the scalar single-precision operations of
// the plain algorithm (the build forbids contraction into fused multiply-add),
// and choices break ties by the lowest index, so every variant gives the bits
// of the plain loops. solverKernels() picks the widest variant the processor
// runs; the choice is made once and is safe from any thread.
//
// Arrays are padded with zeros (and flags with 0) to a multiple of
// kLaneGroup; padding never wins a choice.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kLaneGroup = 8;

inline std::size_t paddedLength(std::size_t count) {
    return (count + kLaneGroup - 1) / kLaneGroup * kLaneGroup;
}

struct Choice {
    std::size_t index = 0;
    float value = 0.0f;
    bool found = false;  // false: no sample qualified; index and value are 0
};

struct SolverKernels {
    // Among the k whose up flag is set (-1), the first with the largest g.
    Choice (*chooseLargestUp)(const float* g, const std::int32_t* up, std::size_t length);
    // Among the k whose down flag is set, with g < gmax and curvature
    // a = 2 diagonal[k] - 4 Ki[k] + 2 Kii above 0.001, the first with the
    // largest (g - gmax)^2 / a.
    Choice (*chooseBestGain)(const float* g, const std::int32_t* down, const float* diagonal,
                             const float* Ki, float Kii, float gmax, std::size_t length);
    // g[k] = g[k] - (d2 Kj[k] + d1 Ki[k]) for every k, then chooseLargestUp of
    // the result, in one pass.
    Choice (*updateGradient)(float* g, const float* Ki, const float* Kj, float d1, float d2,
                             const std::int32_t* up, std::size_t length);
    // out[k] = sum over c of x[c] x columns[c][k], in increasing c from 0:
    // the dot product of x with every sample. columns holds D columns of
    // length values each.
    void (*kernelRow)(const float* columns, std::size_t length, int D, const float* x, float* out);
    // out[k] = the dot product of sample k with itself.
    void (*kernelDiagonal)(const float* columns, std::size_t length, int D, float* out);
    const char* name;
};

const SolverKernels& solverKernels();
const SolverKernels& genericSolverKernels();
// nullptr when the processor has no AVX2.
const SolverKernels* avx2SolverKernels();
