#include "store/model_load.h"

#include <cmath>

#include "base/log.h"
#include "signal/written_value.h"
#include "store/feature_file.h"
#include "store/identify_model_check.h"
#include "store/model_file.h"

namespace {

ModelLoadResult loadParsed(ModelFileRead read, const ModelFile& model, std::uint32_t windowChannels,
                           Identifier& identifier, PairTable& pairTable) {
    switch (read) {
        case ModelFileRead::Missing:
            logLine("identifyWorker, W&B.txt cannot be opened");
            return ModelLoadResult::missing;
        case ModelFileRead::Refused:
            logLine("identifyWorker, W&B.txt refused: %s", model.problem.c_str());
            return ModelLoadResult::refused;
        case ModelFileRead::Read:
            break;
    }
    const ModelShape& shape = model.shape;
    const int gestures = gestureCountForRows(shape.rows);
    logLine("identify gesture number:%d", gestures);
    const int channels = shape.valuesPerRow - 1;
    logLine("identify channel number:%d", channels);
    if (!identifyModelFits(shape, windowChannels, "identifyWorker")) {
        return ModelLoadResult::refused;
    }

    const std::size_t perRow = static_cast<std::size_t>(shape.valuesPerRow);
    identifier.reset(channels, gestures);
    pairTable = PairTable{};
    const std::size_t pairs = static_cast<std::size_t>(gestures * (gestures - 1) / 2);
    for (std::size_t p = 0; p < pairs; ++p) {
        const float* line = model.values.data() + p * perRow;
        PairRow& row = pairTable[p];
        for (int c = 0; c < channels; ++c) {
            row[static_cast<std::size_t>(1 + c)] = line[c];
        }
        row[0] = line[channels];
    }
    return ModelLoadResult::loaded;
}

}  // namespace

int gestureCountForRows(std::int32_t rows) {
    return static_cast<int>(std::sqrt(2.0 * rows + 0.5) + 0.5);
}

ModelLoadResult loadModel(std::uint32_t windowChannels, Identifier& identifier,
                          PairTable& pairTable, std::string* text) {
    logLine("Identify init, detect new model");
    ModelFile model;
    const ModelFileRead read = readModelFile(model, text);
    return loadParsed(read, model, windowChannels, identifier, pairTable);
}

ModelLoadResult loadModelText(const std::string& text, std::uint32_t windowChannels,
                              Identifier& identifier, PairTable& pairTable) {
    ModelFile model;
    const ModelFileRead read = parseModelText(text, model);
    return loadParsed(read, model, windowChannels, identifier, pairTable);
}

PairTable pairTableFromModels(const std::vector<PairModel>& models, int D) {
    PairTable table{};
    for (std::size_t p = 0; p < models.size() && p < table.size(); ++p) {
        table[p][0] = asWrittenAsText(models[p].bias);
        for (int c = 0; c < D && c < kMaxChannels; ++c) {
            table[p][static_cast<std::size_t>(1 + c)] = asWrittenAsText(models[p].weights[c]);
        }
    }
    return table;
}
