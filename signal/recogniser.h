// The recogniser of the calibrated identification mode: a linear discriminant
// over the time-domain features of every channel (td_features.h) that knows
// rest as a class of its own, learnt from the relax phases of the wearer's
// recordings, and a vote over the last few decisions.
//
// Training: every recording of a gesture is cut into 200 ms windows, one every
// kTrainingHopFrames; its quiet windows teach rest and its loud ones the
// gesture (activity_split.h), the onsets and releases between them are left
// out. The discriminant is a shrinkage LDA (lda.h) with equal priors.
//
// Identification: each window of 130 frames (one every 16 frames, as the
// calibrated mode cuts them) is classified on its own. The report is the
// class that holds a strict majority of the last kVotes decisions, and it
// changes at most once every kLeastHoldWindows windows (about 120 ms), so an
// onset does not flicker through other classes on its way to the gesture.
//
// What is normalised: the amplitude features are taken relative to the wearer's
// rest level. Today's rest is learnt only from what the recogniser itself takes
// for rest: windows decided rest, while rest is reported, that would be decided
// rest without today's shift too. Of the levels of the last 30 s of such rest,
// the lowest quarter against the same measure on the rest of the recordings
// (RecogniserModel::restLevel) shifts every log amplitude, up to a factor of
// four either way. Until it has seen three seconds of rest, the recogniser
// takes the recordings' rest as today's. A wearer whose signals are three times
// as strong as on the day of recording is thus classified as if they were not,
// and a gesture held from the start, for however long, never becomes today's
// rest. Gestures read as rest are louder than rest: they move the lowest
// quarter only once they are three quarters of what it is taken from, and one
// read as rest only because of the shift cannot feed it.
//
// Plain values, no shared state: a trained model may be read by any thread;
// a Recogniser belongs to the thread that feeds it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "signal/activity_split.h"
#include "signal/lda.h"
#include "signal/td_features.h"

inline constexpr std::size_t kRecogniserWindowFrames = 130;  // 200 ms
// Training windows start this many frames apart.
inline constexpr std::size_t kTrainingHopFrames = 32;
inline constexpr std::size_t kVotes = 8;
inline constexpr std::size_t kSwitchWindows = 8;
inline constexpr std::size_t kLeastHoldWindows = 5;

struct RecogniserModel {
    std::size_t channels = 0;  // 1 to 8
    std::size_t gestures = 0;  // 2 to 8; class 0 is rest, class k the k-th gesture
    LdaModel lda;              // over recogniserDimension(channels) features
    // The lowest quarter of the levels (tdLevel) of the training windows of
    // rest: the wearer's rest on the day of recording.
    float restLevel = 0.0f;
};

// The number of features of `channels` channels.
std::size_t recogniserDimension(std::size_t channels);

// The windows of one recording, their features and what the split made of them.
struct WindowFeatures {
    std::size_t dimension = 0;
    std::vector<std::size_t> starts;  // first frame of each window
    std::vector<float> values;        // dimension per window
    std::vector<float> levels;        // per window, tdLevel
    std::vector<WindowRole> roles;
};

// The windows of a recording (length bytes of frames of `channels` bytes, 1 to
// 8; any other count gives none), kTrainingHopFrames apart, their features
// and roles.
WindowFeatures recordingWindowFeatures(const std::uint8_t* bytes, std::size_t length,
                                       std::size_t channels);

// Gathers the rest and gesture windows of the recordings, then trains.
class RecogniserTraining {
  public:
    // Adds the windows of a recording of the gesture at `position` (1 to 8),
    // leaving out those that overlap frames [skipFrom, skipEnd).
    void add(const WindowFeatures& windows, int position, std::size_t skipFrom = 0,
             std::size_t skipEnd = 0);
    // The windows gathered of a position; 0 for rest.
    std::size_t windowsOf(int position) const;
    // False, with model untouched, when rest or a gesture has no window, or
    // the discriminant cannot be found.
    bool train(std::size_t channels, std::size_t gestures, RecogniserModel& model) const;

  private:
    std::size_t dimension = 0;
    std::vector<float> samples;
    std::vector<int> labels;
    std::vector<float> restLevels;  // of the rest windows
};

// The live side: one window after another, each 130 frames of `channels`
// bytes.
class Recogniser {
  public:
    // Back to rest with no decision, and the recordings' rest taken as
    // today's; the model must outlive the recogniser.
    void start(const RecogniserModel* trained);
    // Classifies the window and returns the report: 0 for no gesture, or a
    // class position 1 to G. A window of the wrong size, or no model, gives 0
    // and changes nothing.
    int classify(std::span<const std::uint8_t> window);

  private:
    // Learns today's rest from a window of unshifted `features` that was
    // decided `decision`, once the report has been made.
    void followRest(const float* features, std::size_t decision);

    const RecogniserModel* model = nullptr;
    std::array<std::uint8_t, kVotes> recent{};  // the last decisions, a ring
    std::size_t held = 0;                       // decisions in the ring
    std::size_t next = 0;
    int reported = 0;
    std::size_t sinceChange = kLeastHoldWindows;
    int switchCandidate = 0;     // another gesture holding the majority
    std::size_t switchRun = 0;   // windows it has held it
    std::vector<float> history;  // levels of recent rest windows, a ring
    std::size_t historyNext = 0;
    std::size_t restSeen = 0;  // windows taken for rest
    float shift = 0.0f;        // added to every log amplitude
};
