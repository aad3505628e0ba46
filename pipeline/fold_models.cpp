#include "pipeline/fold_models.h"

#include "pipeline/generate_model.h"
#include "store/model_load.h"

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

bool trainFoldModels(const std::vector<RecordingAnalysis>& recordings,
                     const std::vector<GestureFolds>& plans, int channels, IdentifyMode mode,
                     std::array<IdentifyModel, kFolds>& models, std::stop_token stop) {
    const std::size_t G = recordings.size();
    const std::size_t D = static_cast<std::size_t>(channels);
    for (std::size_t f = 0; f < kFolds; ++f) {
        IdentifyModel& model = models[f];
        model = IdentifyModel{};
        model.channels = channels;
        model.gestures = static_cast<int>(G);
        std::vector<std::vector<float>> samples;
        for (std::size_t k = 0; k < G; ++k) {
            samples.push_back(trainingSamples(recordings[k], plans[k][f], D));
        }
        std::vector<PairModel> pairs;
        if (!trainGesturePairs(samples, channels, pairs, nullptr, 0, stop)) {
            return false;
        }
        model.pairTable = pairTableFromModels(pairs, channels);
        if (mode != IdentifyMode::calibrated) {
            continue;
        }
        RecogniserTraining training;
        for (std::size_t k = 0; k < G; ++k) {
            const FoldSplit& split = plans[k][f];
            training.add(recordings[k].recogniser, static_cast<int>(k + 1),
                         split.firstWindow * ANALYSIS_WINDOW, split.endWindow * ANALYSIS_WINDOW);
        }
        if (!training.train(D, G, model.recogniser)) {
            return false;
        }
    }
    return true;
}
