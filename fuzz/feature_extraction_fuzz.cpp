// Feature extraction on any raw bytes and any channel count: each active
// window gives exactly one sample of channelCount finite means within 0..255,
// the recogniser's windows of the same recording have finite features and a
// role each, and nothing is read or written outside the recording.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "signal/feature_extraction.h"
#include "signal/recogniser.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterFuzzWorkingDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t channels = input.byte();
    const std::string_view raw = input.bytes(size);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(raw.data());

    FeatureMatrix matrix;
    loadFeatureMatrix(bytes, raw.size(), channels, matrix);
    fuzzCheck(channels == 0 ? matrix.frames == 0 : matrix.frames == raw.size() / channels,
              "whole frames only");
    removeChannelMeans(matrix);
    const std::vector<float> activity = activitySignal(matrix);
    fuzzCheck(activity.size() == matrix.frames, "one activity value per frame");
    const std::size_t windows = matrix.frames / ANALYSIS_WINDOW;
    const std::vector<float> energy = windowEnergies(activity, windows);
    const std::vector<WindowActivity> kinds = windowActivity(energy);
    fuzzCheck(kinds.size() == windows, "one verdict per window");

    FeatureList list;
    extractWindowFeatures(activity, matrix, list);
    const auto samples =
        static_cast<std::size_t>(std::count(kinds.begin(), kinds.end(), WindowActivity::active));
    fuzzCheck(list.values.size() == samples * channels, "one sample per active window");
    for (const float value : list.values) {
        fuzzCheck(std::isfinite(value) && value >= 0.0f && value <= 255.0f, "means within 0..255");
    }

    const WindowFeatures recogniser = recordingWindowFeatures(bytes, raw.size(), channels);
    fuzzCheck(recogniser.roles.size() == recogniser.starts.size() &&
                  recogniser.values.size() == recogniser.starts.size() * recogniser.dimension,
              "a role and a feature vector for every recogniser window");
    for (const float value : recogniser.values) {
        fuzzCheck(std::isfinite(value), "finite recogniser features");
    }

    fuzzCheck(featureExtraction("1", bytes, raw.size(), channels) == 0,
              "the feature file is written");
    emptyWorkingDirectory();
    return 0;
}
