#include "evaluation/live_replay.h"

#include <algorithm>

#include "core/emg_rate.h"
#include "device/identify_window_cutter.h"
#include "identify/calibrated_classifier.h"
#include "identify/classifier.h"
#include "identify/identify_model_check.h"
#include "training/feature_extraction.h"

namespace {

constexpr std::size_t kPacketFrames = 16;

// Follows one hold at a time: its decisions, errors and changes.
class HoldScorer {
  public:
    HoldScorer(int held, double seconds, ReplayCounts& totals)
        : heldPosition(held), secondsPerDecision(seconds), counts(totals) {}

    void inHold(int result) {
        if (!holding) {
            holding = true;
            seenGesture = false;
        }
        ++counts.holdDecisions;
        counts.holdSeconds += secondsPerDecision;
        if (result != heldPosition) {
            ++counts.errors;
            if (result == 0) {
                ++counts.missed;
            }
        }
        if (seenGesture && result != lastResult) {
            ++counts.changes;
        }
        seenGesture = seenGesture || result != 0;
        lastResult = result;
    }

    void outOfHold() { holding = false; }

  private:
    int heldPosition;
    double secondsPerDecision;  // from one decision to the next
    ReplayCounts& counts;
    bool holding = false;
    bool seenGesture = false;  // the hold has reported a gesture
    int lastResult = 0;
};

}  // namespace

void ReplayCounts::add(const ReplayCounts& other) {
    holdDecisions += other.holdDecisions;
    errors += other.errors;
    missed += other.missed;
    changes += other.changes;
    holdSeconds += other.holdSeconds;
}

void replayStretch(const std::uint8_t* bytes, const RecordingAnalysis& analysis,
                   std::size_t firstWindow, std::size_t endWindow, int heldPosition,
                   const LivePath& path, ReplayCounts& counts) {
    const std::size_t channels = analysis.channels;
    endWindow = std::min(endWindow, analysis.windows);
    if (channels == 0 || firstWindow >= endWindow || path.table == nullptr) {
        return;
    }
    const bool calibrated = path.mode == IdentifyMode::calibrated;
    Identifier exact;
    CalibratedIdentifier calibratedState;
    if (calibrated) {
        calibratedState.reset(static_cast<int>(channels), path.gestures, path.calibration);
    } else {
        exact.reset(static_cast<int>(channels), path.gestures);
    }
    const auto windowLength = static_cast<std::uint32_t>(channels * kIdentifyWindowFrames);
    const std::uint32_t stepBytes = identifyWindowStepFor(windowLength, path.mode);
    // Frames from one window to the next; the result of an exact window judges
    // the frames from half a window before its start to half a window after
    // it, a calibrated one the window's own 130 frames.
    const std::size_t step = stepBytes == 0 ? kHalfWindowFrames : stepBytes / channels;
    const std::size_t centreOffset = calibrated ? kHalfWindowFrames : 0;
    IdentifyWindowCutter cutter;
    cutter.reset(windowLength, stepBytes);
    HoldScorer scorer(heldPosition, static_cast<double>(step) / kEmgFramesPerSecond, counts);

    const std::size_t firstFrame = firstWindow * ANALYSIS_WINDOW;
    const std::size_t endFrame = endWindow * ANALYSIS_WINDOW;
    std::size_t cut = 0;  // windows cut so far; window k starts k steps in
    for (std::size_t frame = firstFrame; frame < endFrame; frame += kPacketFrames) {
        const std::size_t frames = std::min(kPacketFrames, endFrame - frame);
        const std::uint8_t* packet = bytes + frame * channels;
        const EventRecord window = cutter.cut({packet, frames * channels});
        if (!window) {
            continue;
        }
        const int result = calibrated
                               ? classifyCalibratedWindow(*window, calibratedState, *path.table)
                               : classifyWindow(*window, exact, *path.table);
        const std::size_t centre = firstFrame + cut * step + centreOffset;
        if (analysis.activity[centre / ANALYSIS_WINDOW] == WindowActivity::active) {
            scorer.inHold(result);
        } else {
            scorer.outOfHold();
        }
        ++cut;
    }
}
