#include "evaluation/live_replay.h"

#include <algorithm>

#include "device/identify_window_cutter.h"
#include "identify/classifier.h"
#include "training/feature_extraction.h"

namespace {

constexpr std::size_t kPacketFrames = 16;
constexpr double kFramesPerSecond = 650.0;

// Follows one hold at a time: its decisions, errors and changes.
class HoldScorer {
  public:
    HoldScorer(int held, ReplayCounts& totals) : heldPosition(held), counts(totals) {}

    void inHold(int result) {
        if (!holding) {
            holding = true;
            seenGesture = false;
        }
        ++counts.holdDecisions;
        counts.holdSeconds += static_cast<double>(kHalfWindowFrames) / kFramesPerSecond;
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
                   std::size_t firstWindow, std::size_t endWindow, int heldPosition, int gestures,
                   const PairTable& table, ReplayCounts& counts) {
    const std::size_t channels = analysis.channels;
    endWindow = std::min(endWindow, analysis.windows);
    if (channels == 0 || firstWindow >= endWindow) {
        return;
    }
    Identifier identifier;
    identifier.reset(static_cast<int>(channels), gestures);
    IdentifyWindowCutter cutter;
    cutter.reset(static_cast<std::uint32_t>(channels * kWindowFrames));
    HoldScorer scorer(heldPosition, counts);

    const std::size_t firstFrame = firstWindow * ANALYSIS_WINDOW;
    const std::size_t endFrame = endWindow * ANALYSIS_WINDOW;
    std::size_t cut = 0;  // windows cut so far; window k starts 65 k frames in
    for (std::size_t frame = firstFrame; frame < endFrame; frame += kPacketFrames) {
        const std::size_t frames = std::min(kPacketFrames, endFrame - frame);
        const std::uint8_t* packet = bytes + frame * channels;
        const EventRecord window = cutter.cut({packet, frames * channels});
        if (!window) {
            continue;
        }
        const int result = classifyWindow(*window, identifier, table);
        // The result judges the frames from half a window before this one's
        // start to half a window after it; its centre is the window's start.
        const std::size_t centre = firstFrame + cut * kHalfWindowFrames;
        const WindowActivity kind = analysis.activity[centre / ANALYSIS_WINDOW];
        if (kind == WindowActivity::active) {
            scorer.inHold(result);
        } else {
            scorer.outOfHold();
        }
        ++cut;
    }
}
