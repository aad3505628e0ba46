#include "signal/recording_analysis.h"

#include <cmath>

#include "signal/written_value.h"

namespace {

// Kept windows must carry clearly more energy than the quiet ones; below this
// ratio the detector only split rest noise (or one long hold) in two.
constexpr float kLeastContrast = 4.0f;
// Such a split whose quiet windows still move more than this many counts on
// average was of a hold: the muscles never relaxed.
constexpr float kMostRestLevel = 4.0f;

float meanOf(const std::vector<float>& energy, const std::vector<WindowActivity>& activity,
             WindowActivity kind, std::size_t& count) {
    float sum = 0.0f;
    count = 0;
    for (std::size_t w = 0; w < energy.size(); ++w) {
        if (activity[w] == kind) {
            sum = sum + energy[w];
            ++count;
        }
    }
    return count == 0 ? 0.0f : sum / static_cast<float>(count);
}

float quietLevelOf(const FeatureMatrix& matrix, const std::vector<WindowActivity>& activity) {
    const std::size_t columns = matrix.channelCount;
    float sum = 0.0f;
    std::size_t count = 0;
    for (std::size_t w = 0; w < activity.size(); ++w) {
        if (activity[w] != WindowActivity::quiet) {
            continue;
        }
        const float* first = matrix.centred.data() + w * ANALYSIS_WINDOW * columns;
        for (std::size_t i = 0; i < ANALYSIS_WINDOW * columns; ++i) {
            sum = sum + std::fabs(first[i]);
        }
        count += ANALYSIS_WINDOW * columns;
    }
    return count == 0 ? 0.0f : sum / static_cast<float>(count);
}

}  // namespace

RecordingAnalysis analyseRecording(const std::uint8_t* data, std::size_t length,
                                   std::size_t channels) {
    RecordingAnalysis analysis;
    if (channels < 1 || channels > 8) {
        return analysis;
    }
    RecordingFeatures extracted = extractRecording(data, length, channels);
    const FeatureMatrix& matrix = extracted.matrix;
    analysis.channels = channels;
    analysis.frames = matrix.frames;
    analysis.windows = matrix.frames / ANALYSIS_WINDOW;
    analysis.energy = std::move(extracted.energy);
    analysis.activity = std::move(extracted.activity);
    for (std::size_t w = 0; w < analysis.windows; ++w) {
        if (analysis.activity[w] == WindowActivity::active) {
            analysis.activeWindows.push_back(w);
        }
    }
    analysis.features = std::move(extracted.samples.values);
    for (float& value : analysis.features) {
        value = asWrittenAsText(value);
    }
    analysis.recogniser = recordingWindowFeatures(data, length, channels);
    std::size_t kept = 0;
    analysis.activeEnergy =
        meanOf(analysis.energy, analysis.activity, WindowActivity::active, kept);
    analysis.quietEnergy =
        meanOf(analysis.energy, analysis.activity, WindowActivity::quiet, analysis.quietWindows);
    analysis.quietLevel = quietLevelOf(matrix, analysis.activity);
    return analysis;
}

ActivityFinding judgeActivity(const RecordingAnalysis& analysis) {
    if (analysis.windows < 3) {
        return ActivityFinding::tooShort;
    }
    if (analysis.quietWindows == 0) {
        return ActivityFinding::noRest;
    }
    if (!analysis.activeWindows.empty() &&
        analysis.activeEnergy > kLeastContrast * analysis.quietEnergy) {
        return ActivityFinding::clear;
    }
    return analysis.quietLevel > kMostRestLevel ? ActivityFinding::noRest
                                                : ActivityFinding::noActivity;
}

const char* activityFindingName(ActivityFinding finding) {
    switch (finding) {
        case ActivityFinding::clear:
            return "clear";
        case ActivityFinding::noActivity:
            return "noActivity";
        case ActivityFinding::noRest:
            return "noRest";
        case ActivityFinding::tooShort:
            return "tooShort";
    }
    return "unknown";
}
