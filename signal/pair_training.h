// Training of one gesture pair: a linear two-class support vector machine with
// class-balanced penalties, solved by sequential minimal optimisation (SMO)
// and kept only as a weight vector and a bias.
//
// Plain functions over plain arrays without shared state: any thread may train
// any pair, and pairs may be trained in parallel. Arithmetic is in 32-bit
// floats in a fixed order, so a pair trains to the same bits everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <vector>

inline constexpr int kMaxFeatureDimension = 8;  // channels

// The samples of gesture i (label +1) and of gesture j (label -1) of one pair.
struct PairProblem {
    std::vector<float> samples;        // N rows of D values, row-major
    std::vector<std::int32_t> labels;  // N values, +1 or -1
    int D = 0;                         // feature dimension, 1..8
    std::size_t N = 0;                 // rows
};

struct SvmParams {
    std::uint32_t maxIterations = 15000;
    float tolerance = 0.001f;
    float positiveBound = 0.0f;  // C+, bound of the +1 multipliers; set by trainPair
    float negativeBound = 0.0f;  // -C-, stored negative; set by trainPair
    // Asked: the solver gives up within a few hundred iterations and the
    // pair is not trained (the server is ending, or the training was stopped).
    std::stop_token stop;
};

// For a feature vector f: v = bias + sum of weights[c] x f[c]; v >= 0 votes
// for gesture i of the pair, v < 0 for gesture j.
struct PairModel {
    float weights[kMaxFeatureDimension] = {};
    float bias = 0.0f;
    bool reachedIterationCap = false;  // the solver ran out of iterations
};

// Sum of a[k] x b[k] for k = 0 to n - 1, accumulated in that order from 0.
float dotProduct(const float* a, const float* b, int n);

// Sets the class-balanced bounds in params (C = N x 0.5 / count of the class,
// computed in double and stored as float), solves, and fills model: the bias
// from the solver, the weights as the sum of label x multiplier x sample over
// every sample whose multiplier is above 0, in increasing sample order.
// False, with model zeroed, when D is outside 1..8, a label is neither +1 nor
// -1, the arrays are short, or a class has no sample; also when params.stop
// was asked meanwhile.
bool trainPair(const PairProblem& problem, SvmParams& params, PairModel& model);

// Solves the dual problem for the given bounds and fills alpha (N values).
// Returns the bias (gmax + gmin) x 0.5 of the state where the stop test held
// or, when maxIterations steps did not reach it, of the state after the last
// step; *reachedCap (when given) tells which. labels must be +1 or -1.
float smoSolve(const float* samples, int D, std::size_t N, const std::int32_t* labels,
               const SvmParams& params, float* alpha, bool* reachedCap = nullptr);
