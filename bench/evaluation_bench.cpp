// The evaluation of 8 gestures x 30 s of realistic 8-channel recordings: 5-fold
// cross-validation and the replay through the live identification path.
#include <benchmark/benchmark.h>

#include "bench/training_recordings.h"
#include "pipeline/evaluation.h"
#include "pipeline/evaluation_cache.h"

namespace {

std::vector<GestureRecording> eightGestures() {
    std::vector<GestureRecording> recordings;
    for (int g = 1; g <= 8; ++g) {
        recordings.push_back({g, realisticRecording(g, 8, 1, 11)});
    }
    return recordings;
}

void BM_EvaluateEightGesturesThirtySeconds(benchmark::State& state) {
    const auto recordings = eightGestures();
    const IdentifyMode mode = state.range(0) == 0 ? IdentifyMode::exact : IdentifyMode::calibrated;
    for (auto _ : state) {
        const Evaluation evaluation = evaluateRecordings(recordings, 8, {}, mode);
        benchmark::DoNotOptimize(evaluation.confusion.total());
        if (!evaluation.evaluated) {
            state.SkipWithError(evaluation.problem.c_str());
            break;
        }
    }
}
BENCHMARK(BM_EvaluateEightGesturesThirtySeconds)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same from the working directory's files, as GET /api/evaluation computes
// it when something has changed: the cache is defeated by asking for all 8
// gestures and for the first 7 in turn.
void BM_EvaluateWorkingDirectoryUncached(benchmark::State& state) {
    BenchDirectory directory;
    writeRealisticRawFiles(8, 8, 1, 11);
    EvaluationCache cache;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        const CachedEvaluation result =
            cache.evaluate(flip ? 0xFF : 0x7F, 0xFF, IdentifyMode::exact);
        benchmark::DoNotOptimize(result.evaluation.confusion.total());
    }
}
BENCHMARK(BM_EvaluateWorkingDirectoryUncached)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
