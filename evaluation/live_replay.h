// Playing part of a recording back through the live identification path: the
// frames go in packets of 16, as the armband sends them, into the window
// cutter that identification uses, cut as a run in the given identification
// mode cuts them, and every window is classified by that mode's classifier
// (onset detection and smoothing included) with a given model, from a fresh
// start as when identification begins.
//
// Each result is scored against the analysis window at the centre of the
// frames it classified: within a hold (a window the activity detector counts
// as active) it should name the recorded gesture. This gives the field's two
// online measures: the active error rate (the share of decisions within holds
// that report anything but the held gesture, no gesture included) and the
// instability (changes of the reported gesture per second of holding, counted
// in each hold from the first gesture it reports).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "evaluation/recording_analysis.h"
#include "identify/calibration.h"
#include "identify/identifier.h"
#include "identify/identify_mode.h"

struct ReplayCounts {
    std::size_t holdDecisions = 0;  // decisions within holds
    std::size_t errors = 0;         // of those, not the held gesture
    std::size_t missed = 0;         // of the errors, no gesture at all
    std::size_t changes = 0;        // changes of the reported gesture within holds
    double holdSeconds = 0.0;       // time the scored decisions stand for

    void add(const ReplayCounts& other);
};

// How the replay identifies: the mode, the model of `gestures` classes, and
// the wearer's calibration (used in calibrated mode only).
struct LivePath {
    IdentifyMode mode = IdentifyMode::exact;
    int gestures = 0;
    const PairTable* table = nullptr;
    Calibration calibration;
};

// Plays analysis windows [firstWindow, endWindow) of the recording (bytes of
// frames of analysis.channels bytes) through the live path, scoring against
// `heldPosition`. Adds to counts.
void replayStretch(const std::uint8_t* bytes, const RecordingAnalysis& analysis,
                   std::size_t firstWindow, std::size_t endWindow, int heldPosition,
                   const LivePath& path, ReplayCounts& counts);
