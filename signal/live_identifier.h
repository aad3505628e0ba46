// The classifier of one identification run, in the run's mode, from a fresh
// start: the one thing that the identification thread, the evaluation's live
// replay and the evaluation tool classify windows with.
//
// exact: the pair classifiers of "W&B.txt" behind the fixed movement
// detection and smoothing (classifier.h), on half-overlapping windows.
// calibrated: the recogniser (signal/recogniser.h) on windows that start
// kCalibratedStepFrames apart.
//
// Owned by one thread; nothing shared.
#pragma once

#include <cstdint>
#include <span>

#include "signal/identifier.h"
#include "signal/identify_mode.h"
#include "signal/recogniser.h"

// What a run classifies with: the pair table and the recogniser, as loaded.
struct IdentifyModel {
    int channels = 0;  // D, 1 to 8
    int gestures = 0;  // G, 2 to 8
    PairTable pairTable{};
    RecogniserModel recogniser;  // empty for a run that never needs it
};

class LiveIdentifier {
  public:
    // A fresh run in `mode` with `model`, which must outlive the run.
    void start(IdentifyMode mode, const IdentifyModel& model);
    // One window of D x 130 bytes: 0 for no gesture, or a class position 1 to G.
    int classify(std::span<const std::uint8_t> window);

    IdentifyMode mode() const { return runMode; }
    const Identifier& exactState() const { return exact; }

  private:
    IdentifyMode runMode = IdentifyMode::exact;
    const IdentifyModel* loaded = nullptr;
    Identifier exact;
    Recogniser recogniser;
};
