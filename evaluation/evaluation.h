// How well the current recordings would train a model, measured before anyone
// relies on it, with the system's own code: feature extraction picks the
// active windows, the pair classifiers are trained as GENERATE_MODEL trains
// them, and the live classifier identifies.
//
// Cross-validation over kFolds contiguous blocks of each gesture's active
// windows gives the offline scores (confusion matrix, accuracy, recall and
// precision per gesture); playing each fold's stretch of every recording
// through the live path with that fold's model, in the identification mode
// asked for, gives the online ones (active error rate and instability, see
// live_replay.h). In calibrated mode the wearer's calibration is measured on
// the whole recordings, as training measures it. Warnings say what a person
// can do about weak data.
//
// Works in memory only; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "evaluation/confusion_matrix.h"
#include "evaluation/live_replay.h"
#include "evaluation/recording_analysis.h"
#include "identify/identify_mode.h"

// Fewer active windows than this (about 5 s of holding) are too few to train on.
inline constexpr std::size_t kFewestActiveWindows = 25;

struct GestureRecording {
    int gesture = 0;  // 1 to 8
    std::vector<std::uint8_t> bytes;
};

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
    ConfusionMatrix confusion;
    ReplayCounts online;
    std::optional<ConfusionMatrix::Pair> mostConfused;  // positions
    std::vector<EvaluationWarning> warnings;
};

// Gesture names for the warnings' words, index 0 for gesture 1; empty for none.
using GestureNames = std::array<std::string, 8>;

// recordings in position order (increasing gesture number), each of frames of
// `channels` bytes.
Evaluation evaluateRecordings(const std::vector<GestureRecording>& recordings, int channels,
                              const GestureNames& names = {},
                              IdentifyMode mode = IdentifyMode::exact);

// "gesture 3" or "gesture 3 (Fist)".
std::string gestureLabel(int gesture, const GestureNames& names);

// Active error rate and instability of the counts; nothing without decisions.
std::optional<double> activeErrorRate(const ReplayCounts& counts);
std::optional<double> instability(const ReplayCounts& counts);
