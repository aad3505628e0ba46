#include "identify/calibration.h"

#include <algorithm>
#include <cmath>

#include "core/log.h"
#include "training/feature_extraction.h"

namespace {

// Rest must span this many windows (about 1.6 s) to be measured.
constexpr std::size_t kFewestQuietWindows = 8;
constexpr std::size_t kFewestCalibrationWindows = 5;
// Activity this many times above the quiet windows shows that they are rest.
constexpr float kRestBelowActivity = 3.0f;
// With no rest at all, rest is taken to lie this far below the weakest activity.
constexpr float kAssumedActivityOverRest = 10.0f;
// Where the thresholds sit between rest and the weakest activity, on a
// logarithmic scale (0 at rest, 1 at the weakest activity).
constexpr float kOnPosition = 0.4f;
constexpr float kOffPosition = 0.25f;

// The value at `share` of the way through the sorted values (nearest rank below).
float quantile(std::vector<float> values, float share) {
    if (values.empty()) {
        return 0.0f;
    }
    const std::size_t rank =
        static_cast<std::size_t>(share * static_cast<float>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank),
                     values.end());
    return values[rank];
}

// Variance of the per-frame channel sum over each whole window.
std::vector<float> channelSumVariances(const std::uint8_t* data, std::size_t frames,
                                       std::size_t channels) {
    const std::size_t windows = frames / ANALYSIS_WINDOW;
    std::vector<float> variances(windows);
    float sums[ANALYSIS_WINDOW];
    for (std::size_t w = 0; w < windows; ++w) {
        const std::uint8_t* first = data + w * ANALYSIS_WINDOW * channels;
        for (std::size_t t = 0; t < ANALYSIS_WINDOW; ++t) {
            float sum = 0.0f;
            for (std::size_t c = 0; c < channels; ++c) {
                sum = sum + static_cast<float>(first[t * channels + c]);
            }
            sums[t] = sum;
        }
        variances[w] = windowVariance(sums);
    }
    return variances;
}

}  // namespace

RecordingLevels measureRecording(int gesture, const std::uint8_t* data, std::size_t length,
                                 std::size_t channels) {
    RecordingLevels levels;
    levels.gesture = gesture;
    if (channels == 0) {
        return levels;
    }
    const std::vector<float> variances = channelSumVariances(data, length / channels, channels);
    const std::vector<WindowActivity> kinds = windowActivity(variances);
    for (std::size_t w = 0; w < variances.size(); ++w) {
        if (kinds[w] == WindowActivity::quiet) {
            levels.quiet.push_back(variances[w]);
        } else if (kinds[w] == WindowActivity::active) {
            levels.active.push_back(variances[w]);
        }
    }
    return levels;
}

bool recordingHasRest(const RecordingLevels& levels) {
    if (levels.quiet.size() < kFewestQuietWindows) {
        return false;
    }
    if (levels.active.size() < kFewestCalibrationWindows) {
        return true;  // all rest
    }
    return quantile(levels.active, 0.5f) >= kRestBelowActivity * quantile(levels.quiet, 0.5f);
}

void setThresholds(Calibration& calibration) {
    const float rest = calibration.restVariance;
    const float ratio = std::max(1.0f, calibration.activeVariance / rest);
    calibration.onThreshold = rest * std::pow(ratio, kOnPosition);
    calibration.offThreshold = rest * std::pow(ratio, kOffPosition);
}

bool calibrateFromRecordings(const std::vector<RecordingLevels>& recordings,
                             Calibration& calibration) {
    std::vector<float> rest;
    float weakest = 0.0f;
    bool anyActive = false;
    for (const RecordingLevels& levels : recordings) {
        if (recordingHasRest(levels)) {
            rest.insert(rest.end(), levels.quiet.begin(), levels.quiet.end());
        } else {
            logLine(
                "calibration, the recording of gesture %d holds no rest (%zu quiet windows, the "
                "quiet ones %.0f, the active ones %.0f): it is left out of the rest level",
                levels.gesture, levels.quiet.size(), quantile(levels.quiet, 0.5f),
                quantile(levels.active, 0.5f));
        }
        if (levels.active.size() >= kFewestCalibrationWindows) {
            const float low = quantile(levels.active, 0.25f);
            weakest = anyActive ? std::min(weakest, low) : low;
            anyActive = true;
        }
    }
    if (!anyActive || !(weakest > 0.0f)) {
        logLine("calibration, no recording holds a gesture long enough to measure its activity");
        return false;
    }
    Calibration found;
    found.activeVariance = weakest;
    found.restFound = !rest.empty();
    if (found.restFound) {
        found.restVariance = std::max(quantile(rest, 0.5f), 1.0f);
    } else {
        found.restVariance = weakest / kAssumedActivityOverRest;
        logLine(
            "calibration, WARNING: no recording holds any rest; the rest level is taken as a "
            "tenth of the weakest activity (%.0f). Record each gesture with rests between its "
            "repetitions to calibrate on the wearer's own rest",
            static_cast<double>(found.restVariance));
    }
    setThresholds(found);
    calibration = found;
    logLine("calibration, rest %.0f, weakest activity %.0f, movement from %.0f to %.0f",
            static_cast<double>(found.restVariance), static_cast<double>(found.activeVariance),
            static_cast<double>(found.onThreshold), static_cast<double>(found.offThreshold));
    return true;
}
