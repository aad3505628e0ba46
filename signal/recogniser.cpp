#include "signal/recogniser.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kShrinkage = 0.1;
constexpr float kRestQuantile = 0.25f;
// One level in every kHistoryStride rest windows is kept, kHistoryLevels of
// them: 30 s of rest at a window every 16 frames. The first kLeastHistory
// (three seconds) are enough to start from.
constexpr std::size_t kHistoryStride = 4;
constexpr std::size_t kHistoryLevels = 300;
constexpr std::size_t kLeastHistory = 30;
// The rest level may move by a factor of four either way (log 4).
constexpr float kLargestShift = 1.386f;
// Rest windows lie more than this far from the nearest loud window, gesture
// windows more than this far from the nearest quiet one.
constexpr std::size_t kRestMarginFrames = 195;    // 300 ms
constexpr std::size_t kGestureMarginFrames = 65;  // 100 ms

// The value at `share` of the way through the values (nearest rank below).
float quantileOf(std::vector<float> values, float share) {
    const auto at =
        values.begin() + static_cast<std::ptrdiff_t>(share * static_cast<float>(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

}  // namespace

std::size_t recogniserDimension(std::size_t channels) {
    return channels * kTdFeaturesPerChannel;
}

WindowFeatures recordingWindowFeatures(const std::uint8_t* bytes, std::size_t length,
                                       std::size_t channels) {
    WindowFeatures result;
    if (channels < 1 || channels > kMaxTdChannels) {
        return result;
    }
    result.dimension = recogniserDimension(channels);
    const std::size_t frames = length / channels;
    float features[kMaxTdFeatures];
    for (std::size_t start = 0; start + kRecogniserWindowFrames <= frames;
         start += kTrainingHopFrames) {
        tdFeatures(bytes + start * channels, kRecogniserWindowFrames, channels, features);
        result.starts.push_back(start);
        result.values.insert(result.values.end(), features, features + result.dimension);
        result.levels.push_back(tdLevel(features, channels));
    }
    result.roles =
        splitActivity(result.levels, kTrainingHopFrames, kRestMarginFrames, kGestureMarginFrames);
    return result;
}

void RecogniserTraining::add(const WindowFeatures& windows, int position, std::size_t skipFrom,
                             std::size_t skipEnd) {
    if (windows.dimension == 0 || (dimension != 0 && windows.dimension != dimension)) {
        return;
    }
    dimension = windows.dimension;
    for (std::size_t w = 0; w < windows.starts.size(); ++w) {
        const std::size_t start = windows.starts[w];
        if (start < skipEnd && start + kRecogniserWindowFrames > skipFrom) {
            continue;
        }
        const WindowRole role = windows.roles[w];
        if (role == WindowRole::transition) {
            continue;
        }
        if (role == WindowRole::rest) {
            restLevels.push_back(windows.levels[w]);
        }
        const auto first = windows.values.begin() + static_cast<std::ptrdiff_t>(w * dimension);
        samples.insert(samples.end(), first, first + static_cast<std::ptrdiff_t>(dimension));
        labels.push_back(role == WindowRole::rest ? 0 : position);
    }
}

std::size_t RecogniserTraining::windowsOf(int position) const {
    return static_cast<std::size_t>(std::count(labels.begin(), labels.end(), position));
}

bool RecogniserTraining::train(std::size_t channels, std::size_t gestures,
                               RecogniserModel& model) const {
    if (gestures < 2 || gestures + 1 > kMaxLdaClasses || dimension == 0 ||
        dimension != recogniserDimension(channels)) {
        return false;
    }
    RecogniserModel trained;
    trained.channels = channels;
    trained.gestures = gestures;
    if (!trainLda(samples, labels, gestures + 1, dimension, kShrinkage, trained.lda)) {
        return false;
    }
    trained.restLevel = quantileOf(restLevels, kRestQuantile);
    model = std::move(trained);
    return true;
}

void Recogniser::start(const RecogniserModel* trained) {
    *this = Recogniser{};
    model = trained;
}

// Every kHistoryStride-th window taken for rest joins the history; the lowest
// quarter of the history against the recordings' gives the shift.
void Recogniser::followRest(const float* features, std::size_t decision) {
    float scores[kMaxLdaClasses];
    if (decision != 0 || reported != 0 ||
        (shift != 0.0f && model->lda.classify(features, scores) != 0)) {
        return;
    }
    if (restSeen++ % kHistoryStride != 0) {
        return;
    }
    const float level = tdLevel(features, model->channels);
    if (history.size() < kHistoryLevels) {
        history.push_back(level);
    } else {
        history[historyNext] = level;
        historyNext = (historyNext + 1) % kHistoryLevels;
    }
    if (history.size() >= kLeastHistory) {
        shift = std::clamp(model->restLevel - quantileOf(history, kRestQuantile), -kLargestShift,
                           kLargestShift);
    }
}

int Recogniser::classify(std::span<const std::uint8_t> window) {
    if (model == nullptr || model->channels == 0 ||
        window.size() < model->channels * kRecogniserWindowFrames ||
        model->lda.dimension != recogniserDimension(model->channels) ||
        model->lda.classes > kMaxLdaClasses) {
        return 0;
    }
    float features[kMaxTdFeatures];
    tdFeatures(window.data(), kRecogniserWindowFrames, model->channels, features);
    float shifted[kMaxTdFeatures];
    std::copy_n(features, model->lda.dimension, shifted);
    for (std::size_t c = 0; c < model->channels; ++c) {
        shifted[c * kTdFeaturesPerChannel] += shift;
        shifted[c * kTdFeaturesPerChannel + 1] += shift;
    }
    float scores[kMaxLdaClasses];
    const std::size_t decision = model->lda.classify(shifted, scores);

    recent[next] = static_cast<std::uint8_t>(decision);
    next = (next + 1) % kVotes;
    held = std::min(held + 1, kVotes);
    ++sinceChange;
    std::array<std::size_t, kMaxLdaClasses> counts{};
    for (std::size_t i = 0; i < held; ++i) {
        ++counts[recent[i]];
    }
    int leader = -1;  // the class that holds a majority, if any
    for (std::size_t k = 0; k < model->lda.classes; ++k) {
        if (2 * counts[k] > kVotes) {
            leader = static_cast<int>(k);
        }
    }
    // A switch from one gesture straight to another must hold its majority
    // for longer: releasing a gesture passes briefly through others.
    const bool direct = reported != 0 && leader > 0 && leader != reported;
    switchRun = direct && leader == switchCandidate ? switchRun + 1 : (direct ? 1 : 0);
    switchCandidate = direct ? leader : 0;
    if (leader >= 0 && leader != reported && sinceChange >= kLeastHoldWindows &&
        (!direct || switchRun >= kSwitchWindows)) {
        reported = leader;
        sinceChange = 0;
    }
    followRest(features, decision);
    return reported;
}
