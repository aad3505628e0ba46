#include "pipeline/live_replay.h"

#include <algorithm>

#include "protocol/emg_rate.h"
#include "signal/feature_extraction.h"
#include "signal/identify_window_cutter.h"
#include "store/identify_model_check.h"

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

// The role of the recogniser's window nearest to the one starting at `start`.
WindowRole roleAt(const WindowFeatures& windows, std::size_t start) {
    if (windows.roles.empty()) {
        return WindowRole::transition;
    }
    const std::size_t index =
        std::min((start + kTrainingHopFrames / 2) / kTrainingHopFrames, windows.roles.size() - 1);
    return windows.roles[index];
}

}  // namespace

void ReplayCounts::add(const ReplayCounts& other) {
    holdDecisions += other.holdDecisions;
    errors += other.errors;
    missed += other.missed;
    changes += other.changes;
    holdSeconds += other.holdSeconds;
}

void replayThroughCutter(
    const std::uint8_t* bytes, std::size_t channels, std::size_t firstFrame, std::size_t endFrame,
    IdentifyMode mode,
    const std::function<void(std::span<const std::uint8_t> window, std::size_t windowStart,
                             std::size_t answerFrame)>& decide) {
    if (channels == 0 || firstFrame >= endFrame) {
        return;
    }
    const auto windowLength = static_cast<std::uint32_t>(channels * kIdentifyWindowFrames);
    const std::uint32_t stepBytes = identifyWindowStepFor(windowLength, mode);
    const std::size_t step = stepBytes == 0 ? windowLength / 2 / channels : stepBytes / channels;
    IdentifyWindowCutter cutter;
    cutter.reset(windowLength, stepBytes);
    std::size_t windowStart = firstFrame;
    for (std::size_t frame = firstFrame; frame < endFrame; frame += kPacketFrames) {
        const std::size_t frames = std::min(kPacketFrames, endFrame - frame);
        const EventRecord window = cutter.cut({bytes + frame * channels, frames * channels});
        if (window) {
            decide(*window, windowStart, frame + frames);
            windowStart += step;
        }
    }
}

void replayStretch(const std::uint8_t* bytes, const RecordingAnalysis& analysis,
                   std::size_t firstWindow, std::size_t endWindow, int heldPosition,
                   IdentifyMode mode, const IdentifyModel& model, ReplayCounts& counts,
                   ConfusionMatrix& confusion) {
    endWindow = std::min(endWindow, analysis.windows);
    if (analysis.channels == 0 || firstWindow >= endWindow) {
        return;
    }
    LiveIdentifier identifier;
    identifier.start(mode, model);
    const std::uint32_t stepBytes = identifyWindowStepFor(
        static_cast<std::uint32_t>(analysis.channels * kIdentifyWindowFrames), mode);
    const std::size_t step =
        stepBytes == 0 ? kIdentifyWindowFrames / 2 : stepBytes / analysis.channels;
    HoldScorer scorer(heldPosition, static_cast<double>(step) / kEmgFramesPerSecond, counts);
    replayThroughCutter(bytes, analysis.channels, firstWindow * ANALYSIS_WINDOW,
                        endWindow * ANALYSIS_WINDOW, mode,
                        [&](std::span<const std::uint8_t> window, std::size_t start, std::size_t) {
                            const int result = identifier.classify(window);
                            const WindowRole role = roleAt(analysis.recogniser, start);
                            if (role == WindowRole::gesture) {
                                scorer.inHold(result);
                                confusion.add(static_cast<std::size_t>(heldPosition),
                                              static_cast<std::size_t>(result));
                            } else {
                                scorer.outOfHold();
                                if (role == WindowRole::rest) {
                                    confusion.add(0, static_cast<std::size_t>(result));
                                }
                            }
                        });
}
