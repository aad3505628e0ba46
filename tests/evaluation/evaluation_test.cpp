#include "evaluation/evaluation.h"

#include <gtest/gtest.h>

#include <chrono>

#include "evaluation/fold_plan.h"
#include "tests/support/simulated_recordings.h"

namespace {

std::vector<GestureRecording> performed(const std::vector<int>& gestures, int channels = 8,
                                        std::uint64_t seed = 3) {
    std::vector<GestureRecording> recordings;
    for (int g : gestures) {
        recordings.push_back({g, simulatedRecording(g, channels, 30, seed)});
    }
    return recordings;
}

bool hasWarning(const Evaluation& evaluation, EvaluationWarning::Kind kind, int gesture) {
    for (const EvaluationWarning& warning : evaluation.warnings) {
        if (warning.kind == kind && warning.gestures.front() == gesture) {
            return true;
        }
    }
    return false;
}

TEST(Evaluation, WellSeparatedGesturesScoreHighAndEveryActiveWindowIsTestedOnce) {
    const auto start = std::chrono::steady_clock::now();
    const Evaluation evaluation = evaluateRecordings(performed({1, 2, 3, 4, 5, 6, 7, 8}), 8);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(evaluation.evaluated) << evaluation.problem;
    std::printf("took %.1f ms accuracy %f aer %f inst %f\n", ms, *evaluation.confusion.accuracy(),
                *activeErrorRate(evaluation.online), *instability(evaluation.online));
    for (auto& g : evaluation.perGesture) {
        std::printf(
            "g%d active %zu recall %f precision %f aer %f inst %f decisions %zu missed %zu\n",
            g.gesture, g.activeWindows, *g.recall, g.precision.value_or(-1),
            *activeErrorRate(g.online), *instability(g.online), g.online.holdDecisions,
            g.online.missed);
    }
    for (auto& w : evaluation.warnings)
        std::printf("%s\n", w.text.c_str());
    std::uint32_t windows = 0;
    for (std::size_t k = 0; k < evaluation.gestures.size(); ++k) {
        EXPECT_EQ(evaluation.confusion.recorded(k + 1), evaluation.perGesture[k].activeWindows);
        windows += static_cast<std::uint32_t>(evaluation.perGesture[k].activeWindows);
    }
    EXPECT_EQ(evaluation.confusion.total(), windows);
    EXPECT_GE(*evaluation.confusion.accuracy(), 0.9f);
}

TEST(Evaluation, AGestureRecordedAtRestIsToBeRecordedAgain) {
    auto recordings = performed({1, 2});
    recordings.push_back({3, simulatedRecording(3, 8, 30, 3, WearerDoes::rest)});
    const Evaluation evaluation = evaluateRecordings(recordings, 8, {"", "", "Pinch"});
    for (auto& w : evaluation.warnings)
        std::printf("%s\n", w.text.c_str());
    EXPECT_TRUE(hasWarning(evaluation, EvaluationWarning::Kind::noActivity, 3));
    EXPECT_FALSE(hasWarning(evaluation, EvaluationWarning::Kind::noActivity, 1));
}

}  // namespace
