#include "evaluation/fold_models.h"

#include <cstdio>
#include <cstdlib>

#include "training/generate_model.h"
#include "training/pair_training_pool.h"

namespace {

// The samples of one gesture that train fold f, in recording order.
std::vector<float> trainingSamples(const RecordingAnalysis& recording, const FoldSplit& split,
                                   std::size_t channels) {
    std::vector<float> samples;
    samples.reserve(recording.features.size());
    for (std::size_t rank = 0; rank < recording.activeWindows.size(); ++rank) {
        if (split.trains(rank)) {
            const auto first =
                recording.features.begin() + static_cast<std::ptrdiff_t>(rank * channels);
            samples.insert(samples.end(), first, first + static_cast<std::ptrdiff_t>(channels));
        }
    }
    return samples;
}

}  // namespace

float asWrittenInModelFile(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    return std::strtof(text, nullptr);
}

bool trainFoldModels(const std::vector<RecordingAnalysis>& recordings,
                     const std::vector<GestureFolds>& plans, int channels,
                     std::array<PairTable, kFolds>& tables) {
    const std::size_t G = recordings.size();
    const std::size_t D = static_cast<std::size_t>(channels);
    std::vector<PairProblem> problems;
    for (std::size_t f = 0; f < kFolds; ++f) {
        std::vector<std::vector<float>> samples;
        for (std::size_t k = 0; k < G; ++k) {
            samples.push_back(trainingSamples(recordings[k], plans[k][f], D));
        }
        for (std::size_t i = 0; i < G; ++i) {
            for (std::size_t j = i + 1; j < G; ++j) {
                problems.push_back(buildPairProblem(samples[i], samples[j], channels));
            }
        }
    }
    std::vector<PairModel> models;
    std::vector<bool> trained;
    trainPairsInParallel(problems, models, trained);

    const std::size_t pairs = G * (G - 1) / 2;
    for (std::size_t f = 0; f < kFolds; ++f) {
        tables[f] = PairTable{};
        for (std::size_t p = 0; p < pairs; ++p) {
            const std::size_t index = f * pairs + p;
            if (!trained[index]) {
                return false;
            }
            PairRow& row = tables[f][p];
            row[0] = asWrittenInModelFile(models[index].bias);
            for (std::size_t c = 0; c < D; ++c) {
                row[1 + c] = asWrittenInModelFile(models[index].weights[c]);
            }
        }
    }
    return true;
}
