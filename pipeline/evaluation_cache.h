// The evaluation of the working directory's recordings under a configuration
// and identification mode, computed on request and kept until something it
// depends on changes: the configuration, the mode, a selected raw file or the
// gesture names. Holds one evaluation. Used by one thread at a time (the
// background worker).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>

#include "base/whole_file.h"
#include "pipeline/evaluation.h"

struct CachedEvaluation {
    Evaluation evaluation;
    double milliseconds = 0.0;  // how long computing it took
    bool fromCache = false;
};

class EvaluationCache {
  public:
    // A stopped evaluation is not kept.
    CachedEvaluation evaluate(std::uint8_t gestureMask, std::uint8_t channelMask, IdentifyMode mode,
                              std::stop_token stop = {});

    // What an evaluation depends on; equal stamps, equal evaluations.
    struct Stamp {
        IdentifyMode mode = IdentifyMode::exact;
        std::uint8_t gestureMask = 0;
        std::uint8_t channelMask = 0;
        std::array<FileStamp, 8> raw{};
        FileStamp names;
        bool operator==(const Stamp&) const = default;
    };

  private:
    std::optional<Stamp> cachedStamp;
    CachedEvaluation cached;
};
