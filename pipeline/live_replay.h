// Playing part of a recording back through the live identification path: the
// frames go in packets of 16, as the armband sends them, into the window
// cutter that identification uses, cut as a run in the given identification
// mode cuts them, and every window is classified by that mode's classifier
// (LiveIdentifier) with a given model, from a fresh start as when
// identification begins.
//
// Each decision is scored against what the wearer did in the window it
// classified: rest or the recorded gesture, as training's split of the
// recording tells them apart (its onsets and releases are not scored). This
// fills the confusion matrix, rest included, and gives the field's two online
// measures: the active error rate (the share of decisions within holds that
// report anything but the held gesture, no gesture included) and the
// instability (changes of the reported gesture per second of holding, counted
// in each hold from the first gesture it reports).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "signal/confusion_matrix.h"
#include "signal/identify_mode.h"
#include "signal/live_identifier.h"
#include "signal/recording_analysis.h"

struct ReplayCounts {
    std::size_t holdDecisions = 0;  // decisions within holds
    std::size_t errors = 0;         // of those, not the held gesture
    std::size_t missed = 0;         // of the errors, no gesture at all
    std::size_t changes = 0;        // changes of the reported gesture within holds
    double holdSeconds = 0.0;       // time the scored decisions stand for

    void add(const ReplayCounts& other);
};

// Feeds frames [firstFrame, endFrame) of `bytes` (frames of `channels` bytes)
// in packets of 16 frames to a window cutter set as a run in `mode` sets it,
// and hands every window it cuts to `decide`, with the frame the window
// starts at and the frame after the packet that completed it.
void replayThroughCutter(
    const std::uint8_t* bytes, std::size_t channels, std::size_t firstFrame, std::size_t endFrame,
    IdentifyMode mode,
    const std::function<void(std::span<const std::uint8_t> window, std::size_t windowStart,
                             std::size_t answerFrame)>& decide);

// Plays analysis windows [firstWindow, endWindow) of the recording (bytes of
// frames of analysis.channels bytes) through the live path of `mode` with
// `model`, scoring against the gesture at `heldPosition`. Adds to counts and
// to confusion.
void replayStretch(const std::uint8_t* bytes, const RecordingAnalysis& analysis,
                   std::size_t firstWindow, std::size_t endWindow, int heldPosition,
                   IdentifyMode mode, const IdentifyModel& model, ReplayCounts& counts,
                   ConfusionMatrix& confusion);
