#include "pipeline/evaluation.h"

#include "pipeline/fold_models.h"
#include "signal/fold_plan.h"

namespace {

// Two gestures taken for each other in this share of their held-out windows
// or more are worth a warning.
constexpr float kConfusedShare = 0.05f;

void warnAboutRecordings(const std::vector<GestureEvaluation>& gestures, const GestureNames& names,
                         std::vector<EvaluationWarning>& warnings) {
    using Kind = EvaluationWarning::Kind;
    for (const GestureEvaluation& g : gestures) {
        const std::string label = gestureLabel(g.gesture, names);
        if (g.finding == ActivityFinding::noActivity) {
            warnings.push_back({Kind::noActivity,
                                {g.gesture},
                                "The activity detector found no activity in the recording of " +
                                    label +
                                    ": the muscles seem to have rested throughout. Delete it and "
                                    "record it again, holding the gesture firmly."});
        } else if (g.finding == ActivityFinding::noRest) {
            warnings.push_back({Kind::noRest,
                                {g.gesture},
                                "The activity detector found no rest in the recording of " + label +
                                    ", so it cannot tell holding from resting. Delete it and "
                                    "record it again, relaxing fully between holds."});
        } else if (g.activeWindows < kFewestActiveWindows) {
            warnings.push_back({Kind::recordAgain,
                                {g.gesture},
                                label + " has only " + std::to_string(g.activeWindows) +
                                    " active windows; at least " +
                                    std::to_string(kFewestActiveWindows) +
                                    " (about 5 s of holding) are needed. Record it again."});
        }
    }
}

void warnAboutConfusion(const Evaluation& evaluation, const GestureNames& names,
                        std::vector<EvaluationWarning>& warnings) {
    if (!evaluation.mostConfused) {
        return;
    }
    const ConfusionMatrix::Pair& pair = *evaluation.mostConfused;
    const std::uint32_t windows =
        evaluation.confusion.truly(pair.first) + evaluation.confusion.truly(pair.second);
    if (windows == 0 ||
        static_cast<float>(pair.windows) < kConfusedShare * static_cast<float>(windows)) {
        return;
    }
    const int a = evaluation.gestures[pair.first - 1];
    const int b = evaluation.gestures[pair.second - 1];
    warnings.push_back({EvaluationWarning::Kind::confused,
                        {a, b},
                        "The model confuses " + gestureLabel(a, names) + " and " +
                            gestureLabel(b, names) + " most: " + std::to_string(pair.windows) +
                            " of their " + std::to_string(windows) +
                            " held-out decisions went to the other. Record them again, making "
                            "them as different as you can, or train one of them only."});
}

}  // namespace

std::string gestureLabel(int gesture, const GestureNames& names) {
    std::string label = "gesture " + std::to_string(gesture);
    if (gesture >= 1 && gesture <= 8 && !names[static_cast<std::size_t>(gesture - 1)].empty()) {
        label += " (" + names[static_cast<std::size_t>(gesture - 1)] + ")";
    }
    return label;
}

std::optional<double> activeErrorRate(const ReplayCounts& counts) {
    if (counts.holdDecisions == 0) {
        return std::nullopt;
    }
    return static_cast<double>(counts.errors) / static_cast<double>(counts.holdDecisions);
}

std::optional<double> instability(const ReplayCounts& counts) {
    if (counts.holdSeconds <= 0.0) {
        return std::nullopt;
    }
    return static_cast<double>(counts.changes) / counts.holdSeconds;
}

Evaluation evaluateRecordings(const std::vector<GestureRecording>& recordings, int channels,
                              const GestureNames& names, IdentifyMode mode, std::stop_token stop) {
    Evaluation evaluation;
    evaluation.mode = mode;
    evaluation.channels = channels;
    const std::size_t G = recordings.size();
    std::vector<RecordingAnalysis> analyses;
    std::vector<GestureFolds> plans;
    for (const GestureRecording& recording : recordings) {
        if (stop.stop_requested()) {
            evaluation.problem = "stopped";
            return evaluation;
        }
        evaluation.gestures.push_back(recording.gesture);
        analyses.push_back(analyseRecording(recording.bytes.data(), recording.bytes.size(),
                                            static_cast<std::size_t>(channels)));
        plans.push_back(planFolds(analyses.back().activeWindows, analyses.back().windows));
        GestureEvaluation g;
        g.gesture = recording.gesture;
        g.activeWindows = analyses.back().activeWindows.size();
        g.finding = judgeActivity(analyses.back());
        evaluation.perGesture.push_back(g);
    }
    warnAboutRecordings(evaluation.perGesture, names, evaluation.warnings);

    if (channels < 1 || channels > 8) {
        evaluation.problem = "no channels are configured";
        return evaluation;
    }
    if (G < 2 || G > 8) {
        evaluation.problem = "a model needs two to eight gestures";
        return evaluation;
    }
    for (const GestureEvaluation& g : evaluation.perGesture) {
        if (g.activeWindows < kFolds) {
            evaluation.problem = gestureLabel(g.gesture, names) + " has only " +
                                 std::to_string(g.activeWindows) +
                                 " active windows, too few to evaluate: record it again";
            return evaluation;
        }
    }
    std::array<IdentifyModel, kFolds> models;
    if (!trainFoldModels(analyses, plans, channels, mode, models, stop)) {
        evaluation.problem = stop.stop_requested()
                                 ? "stopped"
                                 : "the models of the cross-validation could not be trained";
        return evaluation;
    }

    evaluation.confusion = ConfusionMatrix(G);
    for (std::size_t k = 0; k < G; ++k) {
        if (stop.stop_requested()) {
            evaluation.problem = "stopped";
            return evaluation;
        }
        for (std::size_t f = 0; f < kFolds; ++f) {
            const FoldSplit& split = plans[k][f];
            if (!split.empty()) {
                replayStretch(recordings[k].bytes.data(), analyses[k], split.firstWindow,
                              split.endWindow, static_cast<int>(k + 1), mode, models[f],
                              evaluation.perGesture[k].online, evaluation.confusion);
            }
        }
        evaluation.online.add(evaluation.perGesture[k].online);
    }
    for (std::size_t k = 0; k < G; ++k) {
        evaluation.perGesture[k].recall = evaluation.confusion.recall(k + 1);
        evaluation.perGesture[k].precision = evaluation.confusion.precision(k + 1);
    }
    evaluation.mostConfused = evaluation.confusion.mostConfused();
    warnAboutConfusion(evaluation, names, evaluation.warnings);
    evaluation.evaluated = true;
    return evaluation;
}
