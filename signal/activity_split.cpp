#include "signal/activity_split.h"

#include <algorithm>
#include <cmath>

#include "protocol/emg_rate.h"

namespace {

// The two groups' median levels must lie at least this far apart (the log of
// 1.6, in mean absolute value) for the recording to hold both rest and a
// gesture, and each must last a second somewhere: the peak of a contraction
// that settles lower is not a hold, a dip within a hold is not a rest.
constexpr float kLeastContrast = 0.47f;
constexpr auto kLeastRunFrames = static_cast<std::size_t>(kEmgFramesPerSecond);  // a second

// The threshold between the two groups: the level that maximises the variance
// between the groups below and above it.
float otsuThreshold(std::vector<float> sorted) {
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    double total = 0.0;
    for (const float v : sorted) {
        total += v;
    }
    double below = 0.0;
    double best = -1.0;
    float threshold = sorted.front();
    for (std::size_t k = 1; k < n; ++k) {
        below += sorted[k - 1];
        const double nb = static_cast<double>(k);
        const double na = static_cast<double>(n - k);
        const double difference = below / nb - (total - below) / na;
        const double between = nb * na * difference * difference;
        if (between > best && sorted[k] > sorted[k - 1]) {
            best = between;
            threshold = 0.5f * (sorted[k - 1] + sorted[k]);
        }
    }
    return threshold;
}

float medianOf(std::vector<float> values) {
    if (values.empty()) {
        return 0.0f;
    }
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// For each window, how many windows away the nearest window of the other side lies.
std::vector<std::size_t> distanceToOther(const std::vector<bool>& loud, bool side) {
    const std::size_t n = loud.size();
    const std::size_t far = n + 1;
    std::vector<std::size_t> distance(n, far);
    std::size_t last = far;
    for (std::size_t w = 0; w < n; ++w) {
        if (loud[w] != side) {
            last = w;
        }
        if (last != far) {
            distance[w] = w - last;
        }
    }
    last = far;
    for (std::size_t w = n; w-- > 0;) {
        if (loud[w] != side) {
            last = w;
        }
        if (last != far) {
            distance[w] = std::min(distance[w], last - w);
        }
    }
    return distance;
}

std::size_t longestRun(const std::vector<bool>& loud, bool side) {
    std::size_t longest = 0;
    std::size_t run = 0;
    for (const bool value : loud) {
        run = value == side ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

}  // namespace

std::vector<WindowRole> splitActivity(const std::vector<float>& levels, std::size_t hopFrames,
                                      std::size_t restMarginFrames,
                                      std::size_t gestureMarginFrames) {
    std::vector<WindowRole> roles(levels.size(), WindowRole::transition);
    if (levels.size() < 4 || hopFrames == 0) {
        return roles;
    }
    const float threshold = otsuThreshold(levels);
    std::vector<bool> loud(levels.size());
    std::vector<float> quiet;
    std::vector<float> active;
    for (std::size_t w = 0; w < levels.size(); ++w) {
        loud[w] = levels[w] > threshold;
        (loud[w] ? active : quiet).push_back(levels[w]);
    }
    if (quiet.empty() || active.empty() || medianOf(active) - medianOf(quiet) < kLeastContrast ||
        longestRun(loud, true) * hopFrames < kLeastRunFrames ||
        longestRun(loud, false) * hopFrames < kLeastRunFrames) {
        return roles;
    }
    const std::vector<std::size_t> fromLoud = distanceToOther(loud, false);
    const std::vector<std::size_t> fromQuiet = distanceToOther(loud, true);
    const std::size_t restMargin = (restMarginFrames + hopFrames - 1) / hopFrames;
    const std::size_t gestureMargin = (gestureMarginFrames + hopFrames - 1) / hopFrames;
    for (std::size_t w = 0; w < levels.size(); ++w) {
        if (!loud[w] && fromLoud[w] > restMargin) {
            roles[w] = WindowRole::rest;
        } else if (loud[w] && fromQuiet[w] > gestureMargin) {
            roles[w] = WindowRole::gesture;
        }
    }
    return roles;
}
