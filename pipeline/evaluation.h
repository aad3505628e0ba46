// How well the current recordings would train a model, measured before anyone
// relies on it, with the system's own code: feature extraction picks the
// active windows, the models are trained as GENERATE_MODEL trains them, and
// the live classifier of the identification mode asked for identifies.
//
// Cross-validation over kFolds contiguous stretches of each recording (each
// around a block of the gesture's active windows): every fold's models are
// trained on what it does not hold out, and its stretch of every recording is
// played through the live path with them (live_replay.h). Each decision is
// scored against what the wearer did in the window it classified, rest or the
// recorded gesture: the confusion matrix (rest as class 0), accuracy, recall
// and precision, the active error rate and the instability. Warnings say what
// a person can do about weak data.
//
// Works in memory only; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "pipeline/live_replay.h"
#include "signal/confusion_matrix.h"
#include "signal/identify_mode.h"
#include "signal/recording_analysis.h"
#include "store/selected_recordings.h"

// Fewer active windows than this (about 5 s of holding) are too few to train on.
inline constexpr std::size_t kFewestActiveWindows = 25;

struct EvaluationWarning {
    enum class Kind { recordAgain, noActivity, noRest, confused };
    Kind kind = Kind::recordAgain;
    std::vector<int> gestures;  // the gesture numbers it is about
    std::string text;           // what to do, in words
};

struct GestureEvaluation {
    int gesture = 0;
    std::size_t activeWindows = 0;
    ActivityFinding finding = ActivityFinding::clear;
    std::optional<float> recall;
    std::optional<float> precision;
    ReplayCounts online;
};

struct Evaluation {
    bool evaluated = false;
    IdentifyMode mode = IdentifyMode::exact;
    std::string problem;  // why not, when not evaluated
    int channels = 0;
    std::vector<int> gestures;  // in position order
    std::vector<GestureEvaluation> perGesture;
    ConfusionMatrix confusion;  // rest and the gestures
    ReplayCounts online;
    std::optional<ConfusionMatrix::Pair> mostConfused;  // positions
    std::vector<EvaluationWarning> warnings;
};

// Gesture names for the warnings' words, index 0 for gesture 1; empty for none.
using GestureNames = std::array<std::string, 8>;

// recordings in position order (increasing gesture number), each of frames of
// `channels` bytes. Once `stop` is asked it gives up, unevaluated.
Evaluation evaluateRecordings(const std::vector<GestureRecording>& recordings, int channels,
                              const GestureNames& names = {},
                              IdentifyMode mode = IdentifyMode::exact, std::stop_token stop = {});

// "gesture 3" or "gesture 3 (Fist)".
std::string gestureLabel(int gesture, const GestureNames& names);

// Active error rate and instability of the counts; nothing without decisions.
std::optional<double> activeErrorRate(const ReplayCounts& counts);
std::optional<double> instability(const ReplayCounts& counts);
