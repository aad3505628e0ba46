// The evaluation of the working directory's recordings under the current
// configuration and identification mode, computed on request and kept until
// something it depends on changes: the configuration, the mode, a selected raw
// file or the gesture names. Holds
// one evaluation. Main thread.
#pragma once

#include <cstdint>
#include <memory>

#include "evaluation/evaluation.h"

struct CachedEvaluation {
    Evaluation evaluation;
    double milliseconds = 0.0;  // how long computing it took
    bool fromCache = false;
};

CachedEvaluation evaluateWorkingDirectory(std::uint8_t gestureMask, std::uint8_t channelMask);
