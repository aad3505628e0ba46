#include "tools/identify_eval/evaluation.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "device/identify_window_cutter.h"
#include "identify/calibrated_classifier.h"
#include "identify/classifier.h"
#include "identify/model_load.h"
#include "tessel/sim/random.h"
#include "tools/identify_eval/eval_streams.h"
#include "tools/identify_eval/lda.h"
#include "training/feature_extraction.h"
#include "training/generate_model.h"
#include "training/pair_training_pool.h"

namespace identify_eval {
namespace {

constexpr std::size_t kPacketFrames = 16;
constexpr std::uint32_t kTrainingDay = 1;
constexpr std::uint32_t kIdentificationDay = 2;

// An answer stands from `frame` (the first frame after the packet that
// completed its window) until the next answer; gesture 0 is no gesture.
struct Answer {
    std::size_t frame;
    int gesture;
};
using Answers = std::vector<Answer>;

struct Model {
    Identifier identifier;  // as loaded, before any window
    PairTable table{};
    Calibration calibration;
    Lda lda;
};

std::vector<float> features(const LabelledStream& recording) {
    FeatureMatrix matrix;
    loadFeatureMatrix(recording.bytes.data(), recording.bytes.size(),
                      static_cast<std::size_t>(recording.channels), matrix);
    removeChannelMeans(matrix);
    const std::vector<float> activity = activitySignal(matrix);
    FeatureList list;
    extractWindowFeatures(activity, matrix, list);
    return list.values;
}

// Trains the pairs as GENERATE_MODEL does and loads them as the
// identification thread loads "W&B.txt", through the text of the file.
bool trainPairs(const std::vector<LabelledStream>& recordings, Model& model) {
    const int D = recordings.front().channels;
    std::vector<std::vector<float>> samples;
    for (const LabelledStream& recording : recordings) {
        samples.push_back(features(recording));
    }
    std::vector<PairProblem> problems;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        for (std::size_t j = i + 1; j < samples.size(); ++j) {
            problems.push_back(buildPairProblem(samples[i], samples[j], D));
        }
    }
    std::vector<PairModel> pairs;
    std::vector<bool> trained;
    trainPairsInParallel(problems, pairs, trained, 1);
    std::string text;
    for (std::size_t p = 0; p < pairs.size(); ++p) {
        if (!trained[p]) {
            return false;
        }
        appendModelLine(pairs[p], D, text);
    }
    return loadModelText(text, static_cast<std::uint32_t>(D), model.identifier, model.table) ==
           ModelLoadResult::loaded;
}

bool calibrate(const std::vector<LabelledStream>& recordings, const std::vector<int>& gestures,
               Calibration& calibration) {
    std::vector<RecordingLevels> levels;
    for (std::size_t k = 0; k < recordings.size(); ++k) {
        levels.push_back(measureRecording(gestures[k], recordings[k].bytes.data(),
                                          recordings[k].bytes.size(),
                                          static_cast<std::size_t>(recordings[k].channels)));
    }
    return calibrateFromRecordings(levels, calibration);
}

// Mean absolute value of each channel about its mean over the window.
LdaSample windowMav(const std::uint8_t* frames, int channels) {
    LdaSample mav{};
    const std::size_t d = static_cast<std::size_t>(channels);
    for (std::size_t c = 0; c < d; ++c) {
        std::int32_t sum = 0;
        for (std::size_t t = 0; t < kWindowFrames; ++t) {
            sum += frames[t * d + c];
        }
        const float mean = static_cast<float>(sum) / static_cast<float>(kWindowFrames);
        float absolute = 0.0f;
        for (std::size_t t = 0; t < kWindowFrames; ++t) {
            absolute = absolute + std::fabs(static_cast<float>(frames[t * d + c]) - mean);
        }
        mav[c] = absolute / static_cast<float>(kWindowFrames);
    }
    return mav;
}

// Class 0 is rest, class k the k-th gesture of the list.
int classOf(int gesture, const std::vector<int>& gestures) {
    for (std::size_t k = 0; k < gestures.size(); ++k) {
        if (gestures[k] == gesture) {
            return static_cast<int>(k) + 1;
        }
    }
    return 0;
}

int gestureOf(int classPosition, const std::vector<int>& gestures) {
    if (classPosition < 1 || classPosition > static_cast<int>(gestures.size())) {
        return 0;
    }
    return gestures[static_cast<std::size_t>(classPosition - 1)];
}

bool trainLda(const std::vector<LabelledStream>& recordings, const std::vector<int>& gestures,
              Lda& lda) {
    std::vector<LdaSample> samples;
    std::vector<int> labels;
    for (const LabelledStream& recording : recordings) {
        const std::size_t d = static_cast<std::size_t>(recording.channels);
        for (std::size_t start = 0; start + kWindowFrames <= recording.frames();
             start += kWindowFrames) {
            samples.push_back(windowMav(recording.bytes.data() + start * d, recording.channels));
            labels.push_back(classOf(recording.truth[start + kWindowFrames / 2], gestures));
        }
    }
    return lda.train(samples, labels, static_cast<int>(gestures.size()) + 1,
                     recordings.front().channels);
}

// Feeds the stream to a window cutter packet by packet, as the raw data
// routing does, and hands every window and the frame it starts at to `decide`.
template <typename Decide>
Answers cutAndDecide(const LabelledStream& stream, std::uint32_t stepFrames, Decide decide) {
    const std::size_t d = static_cast<std::size_t>(stream.channels);
    IdentifyWindowCutter cutter;
    cutter.reset(static_cast<std::uint32_t>(d * kWindowFrames),
                 static_cast<std::uint32_t>(d * stepFrames));
    const std::size_t step =
        stepFrames == 0 || stepFrames > kWindowFrames / 2 ? kWindowFrames / 2 : stepFrames;
    Answers answers;
    std::size_t windowStart = 0;
    for (std::size_t first = 0; first + kPacketFrames <= stream.frames(); first += kPacketFrames) {
        const std::span<const std::uint8_t> packet(stream.bytes.data() + first * d,
                                                   kPacketFrames * d);
        if (EventRecord window = cutter.cut(packet)) {
            answers.push_back({first + kPacketFrames, decide(*window, windowStart)});
            windowStart += step;
        }
    }
    return answers;
}

float median(std::vector<float> values) {
    if (values.empty()) {
        return 0.0f;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : 0.5f * (values[middle - 1] + values[middle]);
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

Score score(const LabelledStream& stream, const Answers& answers,
            const std::vector<int>& gestures) {
    Score result;
    std::vector<std::size_t> right(gestures.size() + 1, 0);
    std::vector<std::size_t> total(gestures.size() + 1, 0);
    std::size_t next = 0;
    int standing = 0;
    for (std::size_t f = 0; f < stream.frames(); ++f) {
        while (next < answers.size() && answers[next].frame <= f) {
            standing = answers[next++].gesture;
        }
        const std::size_t truth = static_cast<std::size_t>(classOf(stream.truth[f], gestures));
        ++total[truth];
        right[truth] += static_cast<std::size_t>(standing) ==
                        static_cast<std::size_t>(gestureOf(static_cast<int>(truth), gestures));
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
        int* count = event.kind == StreamEvent::onset     ? &result.onsets
                     : event.kind == StreamEvent::release ? &result.releases
                                                          : &result.switches;
        ++*count;
        for (const Answer& answer : answers) {
            if (answer.frame > event.frame && answer.frame <= end &&
                answer.gesture == event.gesture) {
                const float ms = framesToMs(answer.frame - event.frame);
                (event.kind == StreamEvent::onset     ? onsets
                 : event.kind == StreamEvent::release ? releases
                                                      : switches)
                    .push_back(ms);
                break;
            }
        }
    }
    result.onsetMs = median(onsets);
    result.onsetsReported = static_cast<int>(onsets.size());
    result.releaseMs = median(releases);
    result.releasesReported = static_cast<int>(releases.size());
    result.switchMs = median(switches);
    result.switchesReported = static_cast<int>(switches.size());
    return result;
}

}  // namespace

ProfileEvaluation evaluateProfile(const tessel::sim::WearerProfile& profile,
                                  const EvaluationOptions& options) {
    ProfileEvaluation evaluation;
    evaluation.profile = profile.name;
    const std::vector<int>& gestures = options.gestures;
    std::vector<LabelledStream> recordings;
    for (const int gesture : gestures) {
        recordings.push_back(recordGesture(profile, kTrainingDay,
                                           tessel::sim::mixSeed(options.seed, 100 + gesture),
                                           gesture, options.channels));
    }
    Model model;
    if (!trainPairs(recordings, model) || !calibrate(recordings, gestures, model.calibration) ||
        !trainLda(recordings, gestures, model.lda)) {
        return evaluation;
    }
    evaluation.trained = true;
    evaluation.calibration = model.calibration;

    const LabelledStream stream =
        identificationStream(profile, kIdentificationDay, tessel::sim::mixSeed(options.seed, 7),
                             gestures, options.channels);

    Identifier exact = model.identifier;
    const Answers exactAnswers = cutAndDecide(stream, 0, [&](const auto& window, std::size_t) {
        return gestureOf(classifyWindow(window, exact, model.table), gestures);
    });
    CalibratedIdentifier calibrated;
    calibrated.reset(model.identifier.channels, model.identifier.gestures, model.calibration);
    const Answers calibratedAnswers =
        cutAndDecide(stream, options.calibratedStep, [&](const auto& window, std::size_t) {
            return gestureOf(classifyCalibratedWindow(window, calibrated, model.table), gestures);
        });
    std::vector<std::size_t> right(gestures.size() + 1, 0);
    std::vector<std::size_t> total(gestures.size() + 1, 0);
    const Answers ldaAnswers =
        cutAndDecide(stream, options.calibratedStep, [&](const auto& window, std::size_t start) {
            const int decided = model.lda.classify(windowMav(window.data(), options.channels));
            const std::size_t truth = static_cast<std::size_t>(
                classOf(stream.truth[start + kWindowFrames / 2], gestures));
            ++total[truth];
            right[truth] += static_cast<std::size_t>(decided) == truth;
            return gestureOf(decided, gestures);
        });
    evaluation.exact = score(stream, exactAnswers, gestures);
    evaluation.calibrated = score(stream, calibratedAnswers, gestures);
    evaluation.lda = score(stream, ldaAnswers, gestures);
    evaluation.ldaOfflineAccuracy = balanced(right, total);
    return evaluation;
}

}  // namespace identify_eval
