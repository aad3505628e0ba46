// A plain, line-by-line pair trainer kept beside the tests: no cache, no
// lanes, no threads, every kernel value recomputed where it is used. The
// server's trainer must give the same bits.
#pragma once

#include <cstdint>
#include <vector>

#include "signal/pair_training.h"

namespace reference {

struct Result {
    std::vector<float> alpha;
    float weights[kMaxFeatureDimension] = {};
    float bias = 0.0f;
    bool reachedCap = false;
    float positiveBound = 0.0f;
    float negativeBound = 0.0f;
    int flatSteps = 0;        // steps with eta at most 0.001 that moved to an end
    int fallbackChoices = 0;  // j chosen as the smallest g for want of a better one
};

Result trainPair(const PairProblem& problem, std::uint32_t maxIterations = 15000,
                 float tolerance = 0.001f);

}  // namespace reference
