#include "tools/identify_eval/evaluation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "pipeline/generate_model.h"
#include "pipeline/live_replay.h"
#include "signal/feature_extraction.h"
#include "signal/lda.h"
#include "signal/live_identifier.h"
#include "signal/td_features.h"
#include "signal/written_value.h"
#include "store/model_load.h"
#include "tessel/sim/random.h"

namespace identify_eval {
namespace {

constexpr std::uint32_t kTrainingDay = 1;
constexpr std::uint32_t kIdentificationDay = 2;
// The yardstick: 200 ms windows every 100 ms.
constexpr std::size_t kYardstickStep = 65;
constexpr std::size_t kWindow = kRecogniserWindowFrames;

struct Models {
    IdentifyModel live;  // what both modes classify with
    LdaModel yardstick;
};

// The pairs trained as GENERATE_MODEL trains "W&B.txt", on the samples as the
// feature files give them back, and the table identification loads from it.
bool trainPairs(const std::vector<LabelledStream>& recordings, Models& models) {
    const int D = recordings.front().channels;
    std::vector<std::vector<float>> samples;
    for (const LabelledStream& recording : recordings) {
        RecordingFeatures features = extractRecording(
            recording.bytes.data(), recording.bytes.size(), static_cast<std::size_t>(D));
        for (float& value : features.samples.values) {
            value = asWrittenAsText(value);
        }
        samples.push_back(std::move(features.samples.values));
    }
    std::vector<PairModel> pairs;
    if (!trainGesturePairs(samples, D, pairs, nullptr, 1)) {
        return false;
    }
    models.live.channels = D;
    models.live.gestures = static_cast<int>(recordings.size());
    models.live.pairTable = pairTableFromModels(pairs, D);
    return true;
}

bool trainRecogniser(const std::vector<LabelledStream>& recordings, Models& models) {
    RecogniserTraining training;
    const std::size_t channels = static_cast<std::size_t>(recordings.front().channels);
    for (std::size_t k = 0; k < recordings.size(); ++k) {
        training.add(recordingWindowFeatures(recordings[k].bytes.data(), recordings[k].bytes.size(),
                                             channels),
                     static_cast<int>(k + 1));
    }
    return training.train(channels, recordings.size(), models.live.recogniser);
}

// Class 0 is rest, class k the k-th gesture of the list; -1 for none of them.
int classOf(int gesture, const std::vector<int>& gestures) {
    if (gesture == 0) {
        return 0;
    }
    for (std::size_t k = 0; k < gestures.size(); ++k) {
        if (gestures[k] == gesture) {
            return static_cast<int>(k) + 1;
        }
    }
    return -1;
}

int gestureOf(int classPosition, const std::vector<int>& gestures) {
    if (classPosition < 1 || classPosition > static_cast<int>(gestures.size())) {
        return 0;
    }
    return gestures[static_cast<std::size_t>(classPosition - 1)];
}

// The classic four: the amplitudes as they are, not as their logarithms.
void yardstickFeatures(const std::uint8_t* window, int channels, float* out) {
    tdFeatures(window, kWindow, static_cast<std::size_t>(channels), out);
    for (std::size_t c = 0; c < static_cast<std::size_t>(channels); ++c) {
        out[c * kTdFeaturesPerChannel] = std::exp(out[c * kTdFeaturesPerChannel]);
        out[c * kTdFeaturesPerChannel + 1] = std::exp(out[c * kTdFeaturesPerChannel + 1]);
    }
}

bool trainYardstick(const std::vector<LabelledStream>& recordings, const std::vector<int>& gestures,
                    LdaModel& lda) {
    std::vector<float> samples;
    std::vector<int> labels;
    const int channels = recordings.front().channels;
    const std::size_t dimension = kTdFeaturesPerChannel * static_cast<std::size_t>(channels);
    float features[kMaxTdFeatures];
    for (const LabelledStream& recording : recordings) {
        const std::size_t d = static_cast<std::size_t>(recording.channels);
        for (std::size_t start = 0; start + kWindow <= recording.frames();
             start += kYardstickStep) {
            const std::uint8_t truth = recording.truth[start + kWindow / 2];
            const int label = truth == kUnscored ? -1 : classOf(truth, gestures);
            if (label < 0) {
                continue;
            }
            yardstickFeatures(recording.bytes.data() + start * d, channels, features);
            samples.insert(samples.end(), features, features + dimension);
            labels.push_back(label);
        }
    }
    return trainLda(samples, labels, gestures.size() + 1, dimension, 0.0, lda);
}

// The stream through the cutter of a run in `mode`, as the raw data routing
// cuts it, every window handed to `decide` with the frame it starts at.
template <typename Decide>
Answers cutAndDecide(const LabelledStream& stream, IdentifyMode mode, Decide decide) {
    Answers answers;
    replayThroughCutter(
        stream.bytes.data(), static_cast<std::size_t>(stream.channels), 0, stream.frames(), mode,
        [&](std::span<const std::uint8_t> window, std::size_t start, std::size_t answerFrame) {
            answers.push_back({answerFrame, decide(window, start)});
        });
    return answers;
}

float quantile(std::vector<float> values, float share) {
    if (values.empty()) {
        return 0.0f;
    }
    std::sort(values.begin(), values.end());
    const float at = share * static_cast<float>(values.size() - 1);
    const std::size_t low = static_cast<std::size_t>(at);
    const std::size_t high = std::min(low + 1, values.size() - 1);
    return values[low] + (at - static_cast<float>(low)) * (values[high] - values[low]);
}

float framesToMs(std::size_t frames) {
    return static_cast<float>(frames) * 1000.0f / static_cast<float>(kFramesPerSecond);
}

float balanced(const std::vector<std::size_t>& right, const std::vector<std::size_t>& total) {
    float sum = 0.0f;
    int classes = 0;
    for (std::size_t k = 0; k < total.size(); ++k) {
        if (total[k] > 0) {
            sum = sum + static_cast<float>(right[k]) / static_cast<float>(total[k]);
            ++classes;
        }
    }
    return classes == 0 ? 0.0f : sum / static_cast<float>(classes);
}

}  // namespace

Score score(const LabelledStream& stream, const Answers& answers,
            const std::vector<int>& gestures) {
    Score result;
    std::vector<std::size_t> right(gestures.size() + 1, 0);
    std::vector<std::size_t> total(gestures.size() + 1, 0);
    std::vector<int> standing(stream.frames(), 0);
    std::size_t next = 0;
    int now = 0;
    for (std::size_t f = 0; f < stream.frames(); ++f) {
        while (next < answers.size() && answers[next].frame <= f) {
            now = answers[next++].gesture;
        }
        standing[f] = now;
        const std::uint8_t truth = stream.truth[f];
        const int k = truth == kUnscored ? -1 : classOf(truth, gestures);
        if (k < 0) {
            continue;
        }
        ++total[static_cast<std::size_t>(k)];
        right[static_cast<std::size_t>(k)] += now == truth;
    }
    result.balancedAccuracy = balanced(right, total);
    result.restAsNone =
        total[0] == 0 ? 0.0f : static_cast<float>(right[0]) / static_cast<float>(total[0]);

    std::vector<float> onsets;
    std::vector<float> releases;
    std::vector<float> switches;
    for (std::size_t e = 0; e < stream.events.size(); ++e) {
        const StreamEvent& event = stream.events[e];
        const std::size_t end =
            e + 1 < stream.events.size() ? stream.events[e + 1].frame : stream.frames();
        std::vector<float>& delays = event.kind == StreamEvent::onset     ? onsets
                                     : event.kind == StreamEvent::release ? releases
                                                                          : switches;
        (event.kind == StreamEvent::onset     ? result.onsets
         : event.kind == StreamEvent::release ? result.releases
                                              : result.switches)++;
        for (std::size_t f = event.frame; f < end; ++f) {
            if (standing[f] == event.gesture) {
                delays.push_back(framesToMs(f - event.frame));
                break;
            }
        }
    }
    result.onsetMs = quantile(onsets, 0.5f);
    result.onsetP90Ms = quantile(onsets, 0.9f);
    result.onsetsReported = static_cast<int>(onsets.size());
    result.releaseMs = quantile(releases, 0.5f);
    result.releasesReported = static_cast<int>(releases.size());
    result.switchMs = quantile(switches, 0.5f);
    result.switchesReported = static_cast<int>(switches.size());
    int last = 0;
    std::size_t lastFrame = 0;
    bool any = false;
    for (const Answer& answer : answers) {
        if (answer.gesture == last) {
            continue;
        }
        ++result.changes;
        if (any && answer.frame - lastFrame < static_cast<std::size_t>(kFramesPerSecond / 10)) {
            ++result.quickChanges;
        }
        any = true;
        last = answer.gesture;
        lastFrame = answer.frame;
    }
    return result;
}

Evaluated evaluateStreams(const std::string& name, const std::vector<LabelledStream>& recordings,
                          const LabelledStream& stream, const EvaluationOptions& options) {
    Evaluated evaluation;
    evaluation.name = name;
    const std::vector<int>& gestures = options.gestures;
    Models models;
    if (recordings.empty() || !trainPairs(recordings, models)) {
        std::fprintf(stderr, "%s: the pair classifiers could not be trained\n", name.c_str());
        return evaluation;
    }
    if (!trainRecogniser(recordings, models)) {
        std::fprintf(stderr, "%s: the recogniser could not be trained\n", name.c_str());
        return evaluation;
    }
    if (!trainYardstick(recordings, gestures, models.yardstick)) {
        std::fprintf(stderr, "%s: the yardstick could not be trained\n", name.c_str());
        return evaluation;
    }
    evaluation.trained = true;
    const int channels = stream.channels;

    LiveIdentifier exact;
    exact.start(IdentifyMode::exact, models.live);
    const Answers exactAnswers = cutAndDecide(
        stream, IdentifyMode::exact,
        [&](auto window, std::size_t) { return gestureOf(exact.classify(window), gestures); });
    LiveIdentifier calibrated;
    calibrated.start(IdentifyMode::calibrated, models.live);
    const Answers calibratedAnswers = cutAndDecide(
        stream, IdentifyMode::calibrated,
        [&](auto window, std::size_t) { return gestureOf(calibrated.classify(window), gestures); });
    // The yardstick decides on 200 ms windows every 100 ms, as the exact mode cuts them.
    std::vector<std::size_t> right(gestures.size() + 1, 0);
    std::vector<std::size_t> total(gestures.size() + 1, 0);
    const Answers yardstickAnswers =
        cutAndDecide(stream, IdentifyMode::exact, [&](auto window, std::size_t start) {
            float features[kMaxTdFeatures];
            float scores[kMaxLdaClasses];
            yardstickFeatures(window.data(), channels, features);
            const int decided = static_cast<int>(models.yardstick.classify(features, scores));
            const std::uint8_t truth = stream.truth[start + kWindow / 2];
            const int k = truth == kUnscored ? -1 : classOf(truth, gestures);
            if (k >= 0) {
                ++total[static_cast<std::size_t>(k)];
                right[static_cast<std::size_t>(k)] += decided == k;
            }
            return gestureOf(decided, gestures);
        });
    evaluation.exact = score(stream, exactAnswers, gestures);
    evaluation.calibrated = score(stream, calibratedAnswers, gestures);
    evaluation.yardstick = score(stream, yardstickAnswers, gestures);
    evaluation.yardstickOffline = balanced(right, total);
    return evaluation;
}

Evaluated evaluateProfile(const tessel::sim::WearerProfile& profile,
                          const EvaluationOptions& options) {
    std::vector<LabelledStream> recordings;
    for (const int gesture : options.gestures) {
        recordings.push_back(recordGesture(profile, kTrainingDay,
                                           tessel::sim::mixSeed(options.seed, 100 + gesture),
                                           gesture, options.channels));
    }
    tessel::sim::WearerProfile nextDay = profile;
    if (options.dayLevel > 0.0f) {
        nextDay.dayLevelLow = options.dayLevel;
        nextDay.dayLevelHigh = options.dayLevel;
    }
    const LabelledStream stream =
        identificationStream(nextDay, kIdentificationDay, tessel::sim::mixSeed(options.seed, 7),
                             options.gestures, options.channels, options.heldAtStart);
    Evaluated evaluated = evaluateStreams(profile.name, recordings, stream, options);
    evaluated.dayLevel = tessel::sim::dayLevel(nextDay, kIdentificationDay);
    return evaluated;
}

Evaluated evaluateDevPerson(const DevPerson& person, const EvaluationOptions& options) {
    std::vector<LabelledStream> recordings;
    for (const int gesture : options.gestures) {
        recordings.push_back(
            devRecordingWindow(person.gestures[static_cast<std::size_t>(gesture - 1)]));
    }
    return evaluateStreams(person.name, recordings, devTestStream(person.stream, options.gestures),
                           options);
}

}  // namespace identify_eval
