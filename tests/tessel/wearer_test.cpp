// The wearer's signal, frame by frame, without any thread.
#include "tessel/sim/wearer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tessel::sim {
namespace {

constexpr int kWindow = 130;  // frames in one analysis window of the server

struct Frames {
    std::vector<std::array<std::uint8_t, kElectrodes>> samples;
    std::vector<std::uint8_t> gestures;
};

Frames run(Wearer& wearer, int count) {
    Frames frames;
    for (int i = 0; i < count; ++i) {
        std::array<std::uint8_t, kElectrodes> frame{};
        wearer.nextFrame(frame.data());
        frames.samples.push_back(frame);
        frames.gestures.push_back(wearer.gesture());
    }
    return frames;
}

// Mean and standard deviation of one electrode over frames [from, to).
void moments(const Frames& frames, int electrode, std::size_t from, std::size_t to, float& mean,
             float& deviation) {
    float sum = 0.0f;
    for (std::size_t i = from; i < to; ++i) {
        sum += frames.samples[i][electrode];
    }
    mean = sum / static_cast<float>(to - from);
    float squares = 0.0f;
    for (std::size_t i = from; i < to; ++i) {
        const float d = static_cast<float>(frames.samples[i][electrode]) - mean;
        squares += d * d;
    }
    deviation = std::sqrt(squares / static_cast<float>(to - from));
}

// Mean absolute value per electrode, about the resting offset, of one window.
std::array<float, kElectrodes> meanAbsoluteValues(const Frames& frames, std::size_t from) {
    std::array<float, kElectrodes> mav{};
    for (int c = 0; c < kElectrodes; ++c) {
        float sum = 0.0f;
        for (std::size_t i = from; i < from + kWindow; ++i) {
            sum += std::fabs(static_cast<float>(frames.samples[i][c]) - electrodeOffset(c));
        }
        mav[c] = sum / kWindow;
    }
    return mav;
}

float distance(const std::array<float, kElectrodes>& a, const std::array<float, kElectrodes>& b) {
    float sum = 0.0f;
    for (int c = 0; c < kElectrodes; ++c) {
        const float d = a[c] - b[c];
        sum += d * d;
    }
    return std::sqrt(sum);
}

// Windows taken from the middle of every hold of `perform gesture`.
std::vector<std::array<float, kElectrodes>> heldWindows(int gesture, std::uint64_t seed,
                                                        int seconds) {
    Wearer wearer(seed, {WearerAction::Perform, static_cast<std::uint8_t>(gesture)});
    const Frames frames = run(wearer, seconds * kFramesPerSecond);
    std::vector<std::array<float, kElectrodes>> windows;
    std::size_t start = 0;
    for (std::size_t i = 0; i + kWindow <= frames.gestures.size(); ++i) {
        if (frames.gestures[i] != gesture) {
            start = i + 1;
        } else if (i + 1 - start == 2 * kWindow) {  // well past the onset
            windows.push_back(meanAbsoluteValues(frames, i));
        }
    }
    return windows;
}

TEST(Wearer, RestsNearEachElectrodesOffsetWithAboutOneCountOfNoise) {
    Wearer wearer(5, {});
    const Frames frames = run(wearer, 10 * kFramesPerSecond);
    for (int c = 0; c < kElectrodes; ++c) {
        float mean = 0.0f;
        float deviation = 0.0f;
        moments(frames, c, 0, frames.samples.size(), mean, deviation);
        EXPECT_GE(mean, 122.0f) << c;
        EXPECT_LE(mean, 124.0f) << c;
        EXPECT_GT(deviation, 0.6f) << c;
        EXPECT_LT(deviation, 1.5f) << c;
    }
    for (const std::uint8_t gesture : frames.gestures) {
        ASSERT_EQ(gesture, 0);
    }
}

TEST(Wearer, HoldingAGestureSpreadsEachElectrodeByThatGesturesPattern) {
    for (const int gesture : {1, 4, 11}) {
        Wearer wearer(9, {WearerAction::Hold, static_cast<std::uint8_t>(gesture)});
        const Frames frames = run(wearer, 6 * kFramesPerSecond);
        for (int c = 0; c < kElectrodes; ++c) {
            float mean = 0.0f;
            float deviation = 0.0f;
            moments(frames, c, kFramesPerSecond, frames.samples.size(), mean, deviation);
            const float pattern = gestureAmplitude(gesture, c);
            EXPECT_NEAR(mean, electrodeOffset(c), 2.0f) << gesture << "/" << c;
            EXPECT_GT(deviation, 0.5f * pattern) << gesture << "/" << c;
            EXPECT_LT(deviation, 1.6f * pattern + 1.5f) << gesture << "/" << c;
            EXPECT_LT(deviation, 31.5f) << "at most about 30 counts";
        }
        EXPECT_EQ(frames.gestures.back(), gesture);
    }
}

TEST(Wearer, TellsGesturesApartByMeanAbsoluteValueButNotTrivially) {
    // Centroids learnt from some sessions classify windows of other sessions.
    const int gestures[] = {1, 2, 3, 4, 5, 6};
    std::vector<std::array<float, kElectrodes>> centroids;
    for (const int gesture : gestures) {
        std::array<float, kElectrodes> sum{};
        std::size_t count = 0;
        for (const std::uint64_t seed : {1, 2, 3}) {
            for (const auto& window : heldWindows(gesture, seed, 30)) {
                for (int c = 0; c < kElectrodes; ++c) {
                    sum[c] += window[c];
                }
                ++count;
            }
        }
        ASSERT_GT(count, 10u);
        for (float& value : sum) {
            value /= static_cast<float>(count);
        }
        centroids.push_back(sum);
    }
    std::size_t right = 0;
    std::size_t total = 0;
    float smallestGap = 1e9f;
    for (std::size_t g = 0; g < std::size(gestures); ++g) {
        for (const auto& window : heldWindows(gestures[g], 77, 30)) {
            std::size_t nearest = 0;
            for (std::size_t k = 1; k < centroids.size(); ++k) {
                if (distance(window, centroids[k]) < distance(window, centroids[nearest])) {
                    nearest = k;
                }
            }
            right += nearest == g;
            ++total;
        }
        for (std::size_t k = g + 1; k < centroids.size(); ++k) {
            smallestGap = std::min(smallestGap, distance(centroids[g], centroids[k]));
        }
    }
    EXPECT_GE(static_cast<float>(right), 0.9f * static_cast<float>(total)) << right << "/" << total;
    // Windows of one gesture scatter: repetitions vary, so the classes are not
    // points far apart from each other.
    const auto windows = heldWindows(1, 77, 30);
    float spread = 0.0f;
    for (const auto& window : windows) {
        spread = std::max(spread, distance(window, centroids[0]));
    }
    EXPECT_GT(spread, 0.1f * smallestGap);
}

TEST(Wearer, ShowsTheSameGestureAlikeWhateverTheSeed) {
    const auto average = [](std::uint64_t seed) {
        std::array<float, kElectrodes> sum{};
        const auto windows = heldWindows(2, seed, 40);
        for (const auto& window : windows) {
            for (int c = 0; c < kElectrodes; ++c) {
                sum[c] += window[c] / static_cast<float>(windows.size());
            }
        }
        return sum;
    };
    const auto a = average(1);
    const auto b = average(4242);
    float dot = 0.0f;
    float aa = 0.0f;
    float bb = 0.0f;
    for (int c = 0; c < kElectrodes; ++c) {
        dot += a[c] * b[c];
        aa += a[c] * a[c];
        bb += b[c] * b[c];
    }
    EXPECT_GT(dot / std::sqrt(aa * bb), 0.98f);
}

TEST(Wearer, PerformsRestAbout2sAndHoldAbout2_5sVaryingEachTime) {
    Wearer wearer(3, {WearerAction::Perform, 6});
    const Frames frames = run(wearer, 90 * kFramesPerSecond);
    std::vector<std::size_t> holds;
    std::vector<std::size_t> rests;
    std::size_t runStart = 0;
    for (std::size_t i = 1; i <= frames.gestures.size(); ++i) {
        if (i == frames.gestures.size() || frames.gestures[i] != frames.gestures[runStart]) {
            if (runStart > 0 && i < frames.gestures.size()) {  // whole runs only
                (frames.gestures[runStart] == 6 ? holds : rests).push_back(i - runStart);
            }
            runStart = i;
        }
    }
    ASSERT_GE(holds.size(), 10u);
    ASSERT_GE(rests.size(), 10u);
    // A quarter either way, plus up to one ramp (the gesture counts from half way up).
    for (const std::size_t frames650 : holds) {
        EXPECT_GE(frames650, 0.75 * 2.5 * kFramesPerSecond);
        EXPECT_LE(frames650, 1.25 * 2.5 * kFramesPerSecond + 130);
    }
    for (const std::size_t frames650 : rests) {
        EXPECT_GE(frames650, 0.75 * 2.0 * kFramesPerSecond);
        EXPECT_LE(frames650, 1.25 * 2.0 * kFramesPerSecond + 130);
    }
    EXPECT_NE(*std::min_element(holds.begin(), holds.end()),
              *std::max_element(holds.begin(), holds.end()));
}

TEST(Wearer, RisesAndFallsOver100To200ms) {
    Wearer wearer(8, {WearerAction::Hold, 1});
    int frames = 0;
    std::uint8_t sample[kElectrodes];
    while (wearer.envelope() < 1.0f) {
        wearer.nextFrame(sample);
        ++frames;
        ASSERT_LT(frames, 1000);
    }
    EXPECT_GE(frames, 65);
    EXPECT_LE(frames, 130);
    wearer.setAction({});
    frames = 0;
    while (wearer.envelope() > 0.0f) {
        wearer.nextFrame(sample);
        ++frames;
        ASSERT_LT(frames, 1000);
    }
    EXPECT_GE(frames, 65);
    EXPECT_LE(frames, 130);
    EXPECT_EQ(wearer.gesture(), 0);
}

TEST(Wearer, ReleasesOneGestureBeforeHoldingAnother) {
    Wearer wearer(2, {WearerAction::Hold, 1});
    run(wearer, kFramesPerSecond);
    wearer.setAction({WearerAction::Hold, 2});
    const Frames frames = run(wearer, kFramesPerSecond);
    std::vector<std::uint8_t> seen{1};
    for (const std::uint8_t gesture : frames.gestures) {
        if (gesture != seen.back()) {
            seen.push_back(gesture);
        }
    }
    EXPECT_EQ(seen, (std::vector<std::uint8_t>{1, 0, 2}));
}

TEST(Wearer, GivesTheSameFramesForTheSameSeedAndOthersForAnother) {
    Wearer first(11, {WearerAction::Perform, 2});
    Wearer second(12, {WearerAction::Perform, 2});
    const Frames a = run(first, 5000);
    const Frames b = run(second, 5000);
    first.restart(11, {WearerAction::Perform, 2});
    const Frames again = run(first, 5000);
    EXPECT_EQ(a.samples, again.samples);
    EXPECT_NE(a.samples, b.samples);
}

}  // namespace
}  // namespace tessel::sim
