// Speed of the training numerics on realistic recordings: feature extraction
// of one recording window, and the 28 pair problems of an 8-gesture,
// 8-channel model trained by the server and by LIBSVM in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/training_libsvm.h"
#include "bench/training_recordings.h"
#include "pipeline/generate_model.h"
#include "pipeline/model_generation.h"
#include "signal/feature_extraction.h"
#include "signal/pair_training_pool.h"
#include "signal/recogniser.h"
#include "store/feature_file.h"

namespace {

constexpr std::uint32_t kSeed = 20240305;
constexpr int kGestures = 8;
constexpr int kChannels = 8;
constexpr int kRecordingsPerGesture = 10;  // 5 minutes: well over 500 samples per gesture

// The feature files of eight gestures at eight channels and the 28 pair
// problems they give, made once.
struct EightByEight {
    std::vector<std::string> featureTexts;
    std::vector<PairProblem> problems;
    std::size_t fewestSamples = 0;
};

// Reads the feature files "feature1.txt".. "feature8.txt" of directory.
EightByEight readEightByEight(const std::filesystem::path& directory) {
    EightByEight made;
    std::vector<std::vector<float>> features(kGestures);
    made.fewestSamples = SIZE_MAX;
    for (std::size_t g = 0; g < kGestures; ++g) {
        const std::filesystem::path name = directory / ("feature" + std::to_string(g + 1) + ".txt");
        std::FILE* file = std::fopen(name.c_str(), "rb");
        std::string text;
        char buffer[65536];
        for (std::size_t got; file && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
            text.append(buffer, got);
        }
        if (file) {
            std::fclose(file);
        }
        made.featureTexts.push_back(text);
        std::string problem;
        if (!readFeatureFile(name.string(), kChannels, features[g], problem)) {
            std::fprintf(stderr, "%s: %s\n", name.c_str(), problem.c_str());
        }
        made.fewestSamples = std::min(made.fewestSamples, features[g].size() / kChannels);
    }
    for (std::size_t i = 0; i < kGestures; ++i) {
        for (std::size_t j = i + 1; j < kGestures; ++j) {
            made.problems.push_back(buildPairProblem(features[i], features[j], kChannels));
        }
    }
    return made;
}

// Recordings of the simulated wearer, ten 30-second windows per gesture.
const EightByEight& eightByEight() {
    static const EightByEight data = [] {
        BenchDirectory directory;
        for (int g = 1; g <= kGestures; ++g) {
            const std::vector<std::uint8_t> raw =
                realisticRecording(g, kChannels, kRecordingsPerGesture, kSeed);
            featureExtraction(std::to_string(g).c_str(), raw.data(), raw.size(), kChannels);
        }
        return readEightByEight(".");
    }();
    return data;
}

// The golden recordings (tests/golden/case4: three 30-second windows per
// gesture), made by the project's independent model of the pipeline.
const EightByEight& goldenEightByEight() {
    static const EightByEight data =
        readEightByEight(std::filesystem::path(__FILE__).parent_path().parent_path() /
                         "tests/golden/case4/expected");
    return data;
}

// Argument 0: the generated recordings; 1: the golden ones.
const EightByEight& dataSet(const benchmark::State& state) {
    return state.range(0) == 0 ? eightByEight() : goldenEightByEight();
}

void writeFeatureFiles(const EightByEight& data) {
    for (std::size_t g = 0; g < data.featureTexts.size(); ++g) {
        const std::string name = "feature" + std::to_string(g + 1) + ".txt";
        std::FILE* file = std::fopen(name.c_str(), "wb");
        std::fwrite(data.featureTexts[g].data(), 1, data.featureTexts[g].size(), file);
        std::fclose(file);
    }
}

void BM_FeatureExtraction30sEightChannels(benchmark::State& state) {
    const std::vector<std::uint8_t> raw = realisticRecording(1, kChannels, 1, kSeed);
    BenchDirectory directory;
    for (auto _ : state) {
        benchmark::DoNotOptimize(featureExtraction("1", raw.data(), raw.size(), kChannels));
        state.PauseTiming();
        std::remove("feature1.txt");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raw.size()));
}
BENCHMARK(BM_FeatureExtraction30sEightChannels)->Unit(benchmark::kMicrosecond);

void BM_GenerateModelEightGesturesEightChannels(benchmark::State& state) {
    const EightByEight& data = eightByEight();
    BenchDirectory directory;
    writeFeatureFiles(data);
    for (auto _ : state) {
        benchmark::DoNotOptimize(generateModel(kGestures, kChannels));
    }
    state.counters["fewestSamplesPerGesture"] = static_cast<double>(data.fewestSamples);
}
BENCHMARK(BM_GenerateModelEightGesturesEightChannels)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TrainPairsOursOneThread(benchmark::State& state) {
    const EightByEight& data = dataSet(state);
    int capped = 0;
    for (auto _ : state) {
        capped = 0;
        for (const PairProblem& problem : data.problems) {
            SvmParams params;
            PairModel model;
            trainPair(problem, params, model);
            capped += model.reachedIterationCap;
            benchmark::DoNotOptimize(model);
        }
    }
    state.counters["pairs"] = static_cast<double>(data.problems.size());
    state.counters["cappedPairs"] = capped;
    state.counters["fewestSamplesPerGesture"] = static_cast<double>(data.fewestSamples);
}
BENCHMARK(BM_TrainPairsOursOneThread)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_TrainPairsOursParallel(benchmark::State& state) {
    const EightByEight& data = dataSet(state);
    std::vector<PairModel> models;
    std::vector<bool> ok;
    for (auto _ : state) {
        trainPairsInParallel(data.problems, models, ok);
        benchmark::DoNotOptimize(models.data());
    }
}
BENCHMARK(BM_TrainPairsOursParallel)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TrainPairsLibsvm(benchmark::State& state) {
    const EightByEight& data = dataSet(state);
    std::vector<std::unique_ptr<LibsvmPair>> pairs;
    for (const PairProblem& problem : data.problems) {
        pairs.push_back(std::make_unique<LibsvmPair>(problem));
    }
    int supportVectors = 0;
    for (auto _ : state) {
        supportVectors = 0;
        for (const auto& pair : pairs) {
            supportVectors += pair->train();
        }
    }
    state.counters["supportVectors"] = supportVectors;
}
BENCHMARK(BM_TrainPairsLibsvm)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The whole GENERATE_MODEL work for three gestures at eight channels, each
// recorded once for 30 seconds: feature extraction, training, writing.
void BM_GenerateRealisticThreeGestureModel(benchmark::State& state) {
    BenchDirectory directory;
    writeRealisticRawFiles(3, kChannels, static_cast<int>(state.range(0)), kSeed + 1);
    std::vector<std::uint8_t> response;
    for (auto _ : state) {
        response.clear();
        generateModelFromRecordings(0x07, 0xFF, response);
    }
    state.counters["ok"] = response.size() == 1 && response[0] == 0x00;
}
BENCHMARK(BM_GenerateRealisticThreeGestureModel)
    ->Arg(1)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The whole GENERATE_MODEL work for eight gestures of 30 s at eight channels:
// feature extraction, the pairs of "W&B.txt" and the calibrated mode's
// recogniser, writing them all.
void BM_GenerateRealisticEightGestureModel(benchmark::State& state) {
    BenchDirectory directory;
    writeRealisticRawFiles(kGestures, kChannels, 1, kSeed + 2);
    std::vector<std::uint8_t> response;
    for (auto _ : state) {
        response.clear();
        generateModelFromRecordings(0xFF, kChannels, response);
    }
    state.counters["ok"] = response.size() == 1 && response[0] == 0x00;
    state.counters["recogniser"] = std::filesystem::exists("recogniser.txt");
}
BENCHMARK(BM_GenerateRealisticEightGestureModel)->Unit(benchmark::kMillisecond)->UseRealTime();

// The recogniser alone for the same recordings: its windows' features and its
// discriminant.
void BM_TrainRecogniserEightGestures(benchmark::State& state) {
    std::vector<std::vector<std::uint8_t>> recordings;
    for (int g = 1; g <= kGestures; ++g) {
        recordings.push_back(realisticRecording(g, kChannels, 1, kSeed + 2));
    }
    for (auto _ : state) {
        RecogniserTraining training;
        for (int g = 1; g <= kGestures; ++g) {
            const auto& bytes = recordings[static_cast<std::size_t>(g - 1)];
            training.add(recordingWindowFeatures(bytes.data(), bytes.size(), kChannels), g);
        }
        RecogniserModel model;
        benchmark::DoNotOptimize(training.train(kChannels, kGestures, model));
    }
}
BENCHMARK(BM_TrainRecogniserEightGestures)->Unit(benchmark::kMillisecond);

}  // namespace
