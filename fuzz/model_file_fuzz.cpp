// "W&B.txt" as anyone could leave it: the one reader accepts only a model of
// 1 to 28 lines of 2 to 9 finite numbers, and what it accepts the model image,
// the start of identification and the identification thread's load take
// alike, without reading or writing outside their buffers. The same bytes as
// "recogniser.txt": what its reader accepts it writes back alike and
// classifies a window with.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "signal/identifier.h"
#include "store/identify_model_check.h"
#include "store/model_file.h"
#include "store/model_image.h"
#include "store/model_load.h"
#include "store/recogniser_file.h"

namespace {

void writeModelFile(const std::string& text) {
    std::FILE* file = std::fopen(kModelFileName, "wb");
    fuzzCheck(file != nullptr, "W&B.txt can be written");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterFuzzWorkingDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t windowChannels = input.byte() % 10;
    const std::string_view rest = input.bytes(size);
    const std::string text(rest);

    ModelFile model;
    const ModelFileRead read = parseModelText(text, model);
    const bool accepted = read == ModelFileRead::Read;
    if (accepted) {
        const ModelShape& shape = model.shape;
        fuzzCheck(shape.rows >= 1 && shape.rows <= kMaxModelRows, "rows within the pair table");
        fuzzCheck(shape.valuesPerRow >= 2 && shape.valuesPerRow <= kMaxModelValuesPerRow,
                  "numbers per line");
        fuzzCheck(model.values.size() == static_cast<std::size_t>(shape.rows * shape.valuesPerRow),
                  "every number kept");
        for (const float value : model.values) {
            fuzzCheck(std::isfinite(value), "finite numbers only");
        }
    } else {
        fuzzCheck(!model.problem.empty(), "a refusal says why");
    }

    RecogniserFile recogniser;
    std::string problem;
    if (parseRecogniser(text, recogniser, problem)) {
        RecogniserFile again;
        fuzzCheck(parseRecogniser(recogniserText(recogniser), again, problem) &&
                      again.model.lda.weights == recogniser.model.lda.weights,
                  "an accepted recogniser is written back alike");
        Recogniser live;
        live.start(&recogniser.model);
        const std::vector<std::uint8_t> window(recogniser.model.channels * kRecogniserWindowFrames,
                                               static_cast<std::uint8_t>(windowChannels * 25));
        const int report = live.classify(window);
        fuzzCheck(report >= 0 && static_cast<std::size_t>(report) <= recogniser.model.gestures,
                  "a report names rest or a gesture of the recogniser");
    } else {
        fuzzCheck(!problem.empty(), "a refused recogniser says why");
    }

    Identifier identifier;
    PairTable pairTable{};
    const ModelLoadResult loaded = loadModelText(text, windowChannels, identifier, pairTable);
    fuzzCheck(accepted || loaded != ModelLoadResult::loaded,
              "the load refuses what the reader refuses");

    writeModelFile(text);
    ModelShape checked;
    std::string checkProblem;
    fuzzCheck(checkModelFile(checked, checkProblem) == accepted,
              "the shape check agrees with the reader");
    fuzzCheck(accepted || !checkProblem.empty(), "a refused shape says why");
    ModelShape identifyShape;
    const bool fits = checkIdentifyModel(identifyShape, windowChannels);
    fuzzCheck(!fits || accepted, "identification refuses what the reader refuses");
    if (accepted) {
        const int gestures = gestureCountForRows(model.shape.rows);
        const auto channels = static_cast<std::uint8_t>(model.shape.valuesPerRow - 1);
        std::vector<std::uint8_t> image;
        const std::uint8_t status = buildModelImage(
            0xFF, static_cast<std::uint8_t>(gestures < 0 ? 0 : gestures), channels, image);
        if (status == 0) {
            const std::size_t weights = model.values.size() * sizeof(float);
            fuzzCheck(image.size() == MODEL_HEADER_SIZE + (weights + 15) / 16 * 16, "image length");
            fuzzCheck(image.size() <= MODEL_IMAGE_CAPACITY, "image within its capacity");
            fuzzCheck(
                std::memcmp(image.data() + MODEL_HEADER_SIZE, model.values.data(), weights) == 0,
                "image holds the numbers");
        } else {
            fuzzCheck(image.empty(), "a refused image is empty");
        }
    }
    return 0;
}
