// A plain, line-by-line pair trainer kept beside the tests: no cache, no
// lanes, no threads, every kernel value recomputed where it is used. The
// server's trainer must give the same bits.
#pragma once

#include <cstdint>
#include <vector>

#include "training/pair_training.h"

namespace reference {

struct Result {
    std::vector<float> alpha;
    float weights[kMaxFeatureDimension] = {};
    float bias = 0.0f;
    bool reachedCap = false;
    float positiveBound = 0.0f;
    float negativeBound = 0.0f;
    // How often the solve went down its rarer paths, so that tests can tell
    // they were exercised.
    int flatSteps = 0;         // eta at most 0.001: the ends of the segment compared
    int flatStepsToLower = 0;  // ... and went to the lower end L
    int flatStepsToUpper = 0;  // ... and went to the upper end H
    int fallbackChoices = 0;   // no j by second-order information
};

// Trains problem with the given iteration cap and tolerance.
Result trainPair(const PairProblem& problem, std::uint32_t maxIterations = 15000,
                 float tolerance = 0.001f);

}  // namespace reference
