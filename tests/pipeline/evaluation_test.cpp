#include "pipeline/evaluation.h"

#include <gtest/gtest.h>

#include "pipeline/evaluation_cache.h"
#include "signal/fold_plan.h"
#include "tests/support/simulated_recordings.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<GestureRecording> performed(const std::vector<int>& gestures, int seconds = 30) {
    std::vector<GestureRecording> recordings;
    for (int g : gestures) {
        recordings.push_back({g, simulatedRecording(g, 8, seconds, 3)});
    }
    return recordings;
}

bool warns(const Evaluation& evaluation, EvaluationWarning::Kind kind, int gesture) {
    for (const EvaluationWarning& warning : evaluation.warnings) {
        if (warning.kind == kind && warning.gestures.front() == gesture) {
            return true;
        }
    }
    return false;
}

TEST(Evaluation, WellSeparatedGesturesAndRestScoreHighWithRestAsAClass) {
    for (const IdentifyMode mode : {IdentifyMode::exact, IdentifyMode::calibrated}) {
        const Evaluation evaluation =
            evaluateRecordings(performed({1, 2, 3, 4, 5, 6, 7, 8}), 8, {}, mode);
        ASSERT_TRUE(evaluation.evaluated) << evaluation.problem;
        ASSERT_EQ(evaluation.confusion.classes(), 9u);
        EXPECT_GT(evaluation.confusion.truly(0), 100u) << "rest decisions are scored too";
        for (std::size_t k = 0; k < 8; ++k) {
            const GestureEvaluation& g = evaluation.perGesture[k];
            EXPECT_EQ(evaluation.confusion.truly(k + 1), g.online.holdDecisions)
                << "a gesture's row holds the decisions of its holds";
            EXPECT_GE(g.activeWindows, kFewestActiveWindows);
            EXPECT_GT(g.online.holdDecisions, 50u);
            EXPECT_LE(g.online.errors, g.online.holdDecisions);
        }
        EXPECT_GE(*evaluation.confusion.accuracy(), 0.85f) << identifyModeName(mode);
        EXPECT_LT(*activeErrorRate(evaluation.online), 0.25) << identifyModeName(mode);
        EXPECT_TRUE(evaluation.warnings.empty())
            << identifyModeName(mode) << ": " << evaluation.warnings.front().text;
        if (mode == IdentifyMode::calibrated) {
            EXPECT_GE(*evaluation.confusion.recall(0), 0.9f) << "rest reported as no gesture";
            EXPECT_GE(*evaluation.confusion.accuracy(), 0.9f);
        }
    }
}

TEST(Evaluation, WeakRecordingsAreToBeRecordedAgain) {
    auto recordings = performed({1, 2});
    recordings.push_back({3, simulatedRecording(3, 8, 30, 3, WearerDoes::rest)});
    recordings.push_back({4, simulatedRecording(4, 8, 30, 3, WearerDoes::hold)});
    recordings.push_back({5, simulatedRecording(5, 8, 5, 3)});
    const Evaluation evaluation = evaluateRecordings(recordings, 8, {"", "", "Pinch"});
    EXPECT_TRUE(warns(evaluation, EvaluationWarning::Kind::noActivity, 3));
    EXPECT_TRUE(warns(evaluation, EvaluationWarning::Kind::noRest, 4));
    EXPECT_TRUE(warns(evaluation, EvaluationWarning::Kind::recordAgain, 5));
    EXPECT_FALSE(warns(evaluation, EvaluationWarning::Kind::noActivity, 1));
    for (const EvaluationWarning& warning : evaluation.warnings) {
        EXPECT_NE(warning.text.find("ecord"), std::string::npos) << warning.text;
    }
    EXPECT_NE(evaluation.warnings.front().text.find("gesture 3 (Pinch)"), std::string::npos);
}

TEST(Evaluation, TwoRecordingsOfOneMovementAreNamedAsTheGesturesConfusedMost) {
    std::vector<GestureRecording> recordings = performed({1, 2, 3});
    recordings[2].bytes = simulatedRecording(1, 8, 30, 9);  // "gesture 3" is gesture 1 again
    const Evaluation evaluation = evaluateRecordings(recordings, 8);
    ASSERT_TRUE(evaluation.evaluated) << evaluation.problem;
    ASSERT_TRUE(evaluation.mostConfused);
    EXPECT_EQ(evaluation.mostConfused->first, 1u);
    EXPECT_EQ(evaluation.mostConfused->second, 3u);
    EXPECT_TRUE(warns(evaluation, EvaluationWarning::Kind::confused, 1));
    EXPECT_LT(*evaluation.confusion.accuracy(), 0.9f);
    EXPECT_GT(*evaluation.confusion.recall(2), 0.9f);
}

TEST(Evaluation, TheReplayCutsAndClassifiesAsTheChosenIdentificationMode) {
    const auto recordings = performed({1, 2, 3});
    const Evaluation exact = evaluateRecordings(recordings, 8, {}, IdentifyMode::exact);
    const Evaluation calibrated = evaluateRecordings(recordings, 8, {}, IdentifyMode::calibrated);
    ASSERT_TRUE(exact.evaluated && calibrated.evaluated);
    // Calibrated windows come every 16 frames, exact ones every 65.
    EXPECT_GT(calibrated.online.holdDecisions, 3 * exact.online.holdDecisions);
    EXPECT_NEAR(calibrated.online.holdSeconds, exact.online.holdSeconds, 2.0);
    EXPECT_GT(calibrated.confusion.total(), 3 * exact.confusion.total());
    EXPECT_EQ(calibrated.mode, IdentifyMode::calibrated);
}

TEST(Evaluation, TooFewGesturesOrWindowsAreSaidInsteadOfScored) {
    EXPECT_FALSE(evaluateRecordings(performed({1}), 8).evaluated);
    const Evaluation evaluation = evaluateRecordings(performed({1, 2}, 1), 8);
    EXPECT_FALSE(evaluation.evaluated);
    EXPECT_NE(evaluation.problem.find("record it again"), std::string::npos) << evaluation.problem;
}

TEST(Evaluation, FoldsHoldOutContiguousBlocksWithoutTrainingNeighbours) {
    std::vector<std::size_t> active;
    for (std::size_t w = 2; w < 60; w += (w % 5 == 0 ? 3 : 1)) {
        active.push_back(w);
    }
    const GestureFolds folds = planFolds(active, 64);
    std::vector<int> heldOut(active.size(), 0);
    std::size_t stretchEnd = 0;
    EXPECT_EQ(folds.front().firstWindow, 0u);
    for (const FoldSplit& split : folds) {
        ASSERT_FALSE(split.empty());
        // Stretches leave no window out; the rest between two blocks is in both.
        EXPECT_LE(split.firstWindow, stretchEnd);
        stretchEnd = split.endWindow;
        for (std::size_t rank = 0; rank < active.size(); ++rank) {
            const bool held = rank >= split.firstRank && rank < split.endRank;
            heldOut[rank] += held;
            const bool inStretch =
                active[rank] >= split.firstWindow && active[rank] < split.endWindow;
            EXPECT_EQ(held, inStretch) << rank;
            const bool besideBlock = rank + 1 == split.firstRank || rank == split.endRank;
            EXPECT_EQ(split.trains(rank), !held && !besideBlock) << rank;
        }
    }
    EXPECT_EQ(stretchEnd, 64u);
    EXPECT_EQ(heldOut, std::vector<int>(active.size(), 1));
}

TEST(Evaluation, TheWorkingDirectoryIsOnlyReadAndTheResultKeptUntilARecordingChanges) {
    ScopedWorkingDirectory scratch;
    writeSimulatedRawFiles({1, 2}, 8, 5);
    writeFile("W&B.txt", "1.000000 2.000000\n");
    writeFile("model.bin", "image");
    EvaluationCache cache;
    const auto evaluateWorkingDirectory = [&cache](std::uint8_t gestures, std::uint8_t channels) {
        return cache.evaluate(gestures, channels, IdentifyMode::exact);
    };
    const CachedEvaluation first = evaluateWorkingDirectory(0x03, 0xFF);
    ASSERT_TRUE(first.evaluation.evaluated) << first.evaluation.problem;
    EXPECT_FALSE(first.fromCache);
    EXPECT_TRUE(evaluateWorkingDirectory(0x03, 0xFF).fromCache);
    EXPECT_FALSE(evaluateWorkingDirectory(0x03, 0x0F).fromCache);                  // other channels
    EXPECT_FALSE(cache.evaluate(0x03, 0x0F, IdentifyMode::calibrated).fromCache);  // another mode

    writeBytes("raw2.bin", simulatedRecording(2, 8, 20, 6));
    const CachedEvaluation changed = evaluateWorkingDirectory(0x03, 0x0F);
    EXPECT_FALSE(changed.fromCache);
    EXPECT_EQ(readFile("W&B.txt"), "1.000000 2.000000\n");
    EXPECT_EQ(readFile("model.bin"), "image");
    for (int n = 1; n <= 8; ++n) {
        EXPECT_FALSE(fileExists("feature" + std::to_string(n) + ".txt"));
    }
    EXPECT_FALSE(evaluateWorkingDirectory(0x07, 0xFF).evaluation.evaluated);  // no raw3.bin
}

}  // namespace
