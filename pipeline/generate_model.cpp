#include "pipeline/generate_model.h"

#include <algorithm>
#include <cstdio>

#include "base/atomic_file.h"
#include "base/log.h"
#include "signal/pair_training_pool.h"
#include "store/feature_file.h"
#include "store/model_shape.h"

namespace {

// The numbers of every position's feature file, or false after logging which
// could not be read or holds no whole sample.
bool loadFeatures(int G, int D, std::vector<std::vector<float>>& features) {
    features.assign(static_cast<std::size_t>(G), {});
    for (int k = 1; k <= G; ++k) {
        const std::string name = featureFileName(k);
        std::vector<float>& values = features[static_cast<std::size_t>(k - 1)];
        std::string problem;
        if (!readFeatureFile(name, static_cast<std::size_t>(D), values, problem)) {
            logLine("generateModel, %s cannot be trained on: %s", name.c_str(), problem.c_str());
            return false;
        }
        if (values.size() < static_cast<std::size_t>(D)) {
            logLine("generateModel, gesture position %d had no active windows (%s)", k,
                    name.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

PairProblem buildPairProblem(const std::vector<float>& featuresI,
                             const std::vector<float>& featuresJ, int D) {
    PairProblem problem;
    if (D < 1) {
        return problem;
    }
    const std::size_t dimensions = static_cast<std::size_t>(D);
    problem.D = D;
    problem.N = (featuresI.size() + featuresJ.size()) / dimensions;
    const std::size_t positives = featuresI.size() / dimensions;
    problem.samples.reserve(problem.N * dimensions);
    problem.samples.insert(problem.samples.end(), featuresI.begin(), featuresI.end());
    problem.samples.insert(problem.samples.end(), featuresJ.begin(), featuresJ.end());
    problem.samples.resize(problem.N * dimensions);
    problem.labels.assign(problem.N, -1);
    std::fill_n(problem.labels.begin(), positives, 1);
    return problem;
}

bool trainGesturePairs(const std::vector<std::vector<float>>& samples, int D,
                       std::vector<PairModel>& models, std::size_t* failedPair, unsigned threads,
                       std::stop_token stop) {
    std::vector<PairProblem> problems;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        for (std::size_t j = i + 1; j < samples.size(); ++j) {
            problems.push_back(buildPairProblem(samples[i], samples[j], D));
        }
    }
    std::vector<bool> trained;
    trainPairsInParallel(problems, models, trained, threads, stop);
    for (std::size_t p = 0; p < trained.size(); ++p) {
        if (!trained[p]) {
            if (failedPair != nullptr) {
                *failedPair = p;
            }
            return false;
        }
    }
    return true;
}

void appendModelLine(const PairModel& model, int D, std::string& text) {
    char number[64];
    for (int c = 0; c < D && c < kMaxFeatureDimension; ++c) {
        std::snprintf(number, sizeof number, "%f ", static_cast<double>(model.weights[c]));
        text += number;
    }
    std::snprintf(number, sizeof number, "%f\n", static_cast<double>(model.bias));
    text += number;
}

int generateModel(int gestureCount, int channelCount, const std::function<void()>& beforeReplace,
                  std::string* modelText, std::stop_token stop) {
    const int G = gestureCount;
    const int D = channelCount;
    if (G < 2 || G > kMostGestures) {
        logLine("generateModel, %d gestures: a model needs 2 to %d, \"%s\" is left as it was", G,
                kMostGestures, kModelFileName);
        return 1;
    }
    if (D < 1 || D > kMaxFeatureDimension) {
        logLine("generateModel, %d channels: a model needs 1 to %d", D, kMaxFeatureDimension);
        return 1;
    }
    std::vector<std::vector<float>> features;
    if (!loadFeatures(G, D, features)) {
        return 1;
    }

    std::vector<std::pair<int, int>> pairs;
    for (int i = 1; i <= G; ++i) {
        for (int j = i + 1; j <= G; ++j) {
            pairs.emplace_back(i, j);
        }
    }
    std::vector<PairModel> models;
    std::size_t failed = 0;
    if (!trainGesturePairs(features, D, models, &failed, 0, stop)) {
        if (stop.stop_requested()) {
            logLine("generateModel, stopped; \"%s\" is left as it was", kModelFileName);
            return 1;
        }
        logLine("generateModel, pair (%d,%d) could not be trained", pairs[failed].first,
                pairs[failed].second);
        return 1;
    }
    std::string text;
    for (std::size_t p = 0; p < pairs.size(); ++p) {
        if (models[p].reachedIterationCap) {
            logLine(
                "generateModel, pair (%d,%d) reached the iteration cap; its bias is that of "
                "the last state",
                pairs[p].first, pairs[p].second);
        }
        appendModelLine(models[p], D, text);
    }
    if (stop.stop_requested()) {
        logLine("generateModel, stopped; \"%s\" is left as it was", kModelFileName);
        return 1;
    }
    if (beforeReplace) {
        beforeReplace();
    }
    if (const FileWrite written = writeFileAtomically(kModelFileName, text.data(), text.size());
        !written) {
        logLine("generateModel, \"%s\" could not be written (%s); the earlier model stays",
                kModelFileName, written.reason.c_str());
        return 1;
    }
    if (modelText != nullptr) {
        *modelText = std::move(text);
    }
    return 0;
}
