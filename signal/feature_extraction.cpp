#include "signal/feature_extraction.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

float windowVariance(const float* values) {
    float sum = 0.0f;
    for (std::size_t t = 0; t < ANALYSIS_WINDOW; ++t) {
        sum = sum + values[t];
    }
    const float mean = sum / kAnalysisWindowFrames;
    float squares = 0.0f;
    for (std::size_t t = 0; t < ANALYSIS_WINDOW; ++t) {
        const float d = values[t] - mean;
        squares = squares + d * d;
    }
    return squares / kAnalysisWindowFrames;
}

std::vector<float> windowEnergies(std::span<const float> activity, std::size_t windows) {
    std::vector<float> energy(windows);
    for (std::size_t w = 0; w < windows; ++w) {
        energy[w] = windowVariance(activity.data() + w * ANALYSIS_WINDOW);
    }
    return energy;
}

std::vector<WindowActivity> windowActivity(std::span<const float> energy) {
    const std::size_t windows = energy.size();
    std::vector<WindowActivity> kinds(windows, WindowActivity::unexamined);
    if (windows < 3) {
        return kinds;
    }
    float total = 0.0f;
    for (float e : energy) {
        total = total + e;
    }
    const float threshold = total / static_cast<float>(windows);

    // A window that starts an activity is never a sample; the window that
    // ends one still is. Equality with the threshold neither starts nor ends.
    bool active = false;
    for (std::size_t k = 0; k + 2 < windows; ++k) {
        if (!active) {
            active = energy[k] > threshold && energy[k + 1] > threshold;
            kinds[k] = active ? WindowActivity::starting : WindowActivity::quiet;
            continue;
        }
        if (energy[k + 1] < threshold && energy[k + 2] < threshold) {
            active = false;
        }
        kinds[k] = WindowActivity::active;
    }
    return kinds;
}

namespace {

// Appends the mean absolute centred value of every channel over window w.
void appendWindowFeatures(const FeatureMatrix& matrix, std::size_t w, FeatureList& out) {
    const std::size_t columns = matrix.channelCount;
    const float* first = matrix.centred.data() + w * ANALYSIS_WINDOW * columns;
    for (std::size_t c = 0; c < columns; ++c) {
        float sum = 0.0f;
        for (std::size_t t = 0; t < ANALYSIS_WINDOW; ++t) {
            sum = sum + std::fabs(first[t * columns + c]);
        }
        out.values.push_back(sum / kAnalysisWindowFrames);
    }
}

}  // namespace

bool appendFeatureFile(const std::string& name, const FeatureList& list) {
    std::FILE* file = std::fopen(name.c_str(), "a");
    if (file == nullptr) {
        return false;
    }
    bool written = true;
    for (float value : list.values) {
        if (std::fprintf(file, "%f ", static_cast<double>(value)) < 0) {
            written = false;
            break;
        }
    }
    if (std::fclose(file) != 0) {
        written = false;
    }
    return written;
}

void loadFeatureMatrix(const std::uint8_t* data, std::size_t length, std::size_t channelCount,
                       FeatureMatrix& matrix) {
    matrix.channelCount = channelCount;
    matrix.frames = channelCount == 0 ? 0 : length / channelCount;
    const std::size_t used = matrix.frames * channelCount;
    matrix.raw.assign(data, data + used);
    matrix.centred.clear();
}

void removeChannelMeans(FeatureMatrix& matrix) {
    const std::size_t columns = matrix.channelCount;
    const std::size_t frames = matrix.frames;
    matrix.centred.resize(frames * columns);
    if (frames == 0) {
        return;
    }
    // Row by row, so that the channels' sums run side by side; each channel's
    // sum still adds its frames in increasing order.
    std::vector<float> means(columns, 0.0f);
    for (std::size_t r = 0; r < frames; ++r) {
        const std::int32_t* row = &matrix.raw[r * columns];
        for (std::size_t c = 0; c < columns; ++c) {
            means[c] = means[c] + static_cast<float>(row[c]);
        }
    }
    for (float& mean : means) {
        mean = mean / static_cast<float>(frames);
    }
    for (std::size_t r = 0; r < frames; ++r) {
        for (std::size_t c = 0; c < columns; ++c) {
            matrix.centred[r * columns + c] =
                static_cast<float>(matrix.raw[r * columns + c]) - means[c];
        }
    }
}

std::vector<float> activitySignal(const FeatureMatrix& matrix) {
    const std::size_t columns = matrix.channelCount;
    std::vector<float> activity(columns == 0 ? 0 : matrix.frames);
    for (std::size_t r = 0; r < activity.size(); ++r) {
        float sum = 0.0f;
        for (std::size_t c = 0; c < columns; ++c) {
            sum = sum + matrix.centred[r * columns + c];
        }
        activity[r] = sum / static_cast<float>(columns);
    }
    return activity;
}

namespace {

void featuresOfActiveWindows(const FeatureMatrix& matrix, const std::vector<WindowActivity>& kinds,
                             FeatureList& out) {
    out.values.clear();
    if (kinds.size() < 3 || matrix.channelCount == 0) {
        return;
    }
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        if (kinds[k] == WindowActivity::active) {
            appendWindowFeatures(matrix, k, out);
        }
    }
}

}  // namespace

void extractWindowFeatures(std::span<const float> activity, const FeatureMatrix& matrix,
                           FeatureList& out) {
    const std::size_t frames = std::min(activity.size(), matrix.frames);
    const std::vector<float> energy = windowEnergies(activity, frames / ANALYSIS_WINDOW);
    featuresOfActiveWindows(matrix, windowActivity(energy), out);
}

RecordingFeatures extractRecording(const std::uint8_t* data, std::size_t length,
                                   std::size_t channelCount) {
    RecordingFeatures result;
    loadFeatureMatrix(data, length, channelCount, result.matrix);
    removeChannelMeans(result.matrix);
    const std::vector<float> activity = activitySignal(result.matrix);
    result.energy = windowEnergies(activity, result.matrix.frames / ANALYSIS_WINDOW);
    result.activity = windowActivity(result.energy);
    featuresOfActiveWindows(result.matrix, result.activity, result.samples);
    return result;
}

int featureExtraction(const char* numberText, const std::uint8_t* data, std::size_t length,
                      std::uint8_t channelCount) {
    const std::string name = std::string("feature") + numberText + ".txt";
    const RecordingFeatures features = extractRecording(data, length, channelCount);
    return appendFeatureFile(name, features.samples) ? 0 : 1;
}
