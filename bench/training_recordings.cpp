#include "bench/training_recordings.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>

namespace {

// Band-limited noise: white noise through a first-order high-pass and then a
// first-order low-pass, roughly 20 to 150 Hz at 650 frames per second, scaled
// to unit standard deviation.
class BandNoise {
  public:
    explicit BandNoise(std::uint32_t seed) : engine_(seed) {}

    double next() {
        const double white = normal_(engine_);
        high_ = 0.83 * (high_ + white - lastWhite_);
        lastWhite_ = white;
        low_ += 0.6 * (high_ - low_);
        return low_ * 1.9;
    }

  private:
    std::mt19937 engine_;
    std::normal_distribution<double> normal_{0.0, 1.0};
    double high_ = 0.0;
    double low_ = 0.0;
    double lastWhite_ = 0.0;
};

// How strongly each channel takes part in a gesture, in counts of standard
// deviation: every channel a little (the forearm muscles work together), one
// or two main channels more, so that neighbouring gestures overlap.
std::vector<double> gesturePattern(int gesture, int channels, std::uint32_t seed) {
    std::mt19937 engine(seed * 7919u + static_cast<std::uint32_t>(gesture) * 104729u);
    std::uniform_real_distribution<double> some(4.0, 14.0);
    std::uniform_real_distribution<double> main(12.0, 24.0);
    std::vector<double> pattern(static_cast<std::size_t>(channels));
    for (double& amplitude : pattern) {
        amplitude = some(engine);
    }
    pattern[static_cast<std::size_t>(gesture % channels)] = main(engine);
    if (gesture % 2 == 1) {
        pattern[static_cast<std::size_t>((gesture + 3) % channels)] = main(engine);
    }
    return pattern;
}

// One repetition: rest, onset ramp, hold, release ramp (in frames), with its
// own strength and per-channel variation.
struct Repetition {
    int start = 0;
    int onset = 0;
    int hold = 0;
    int release = 0;
    double strength = 1.0;
    std::vector<double> channelScale;

    // 0 at rest, rising to 1 over the onset, 1 while held, falling over the release.
    double envelope(int t) const {
        const int into = t - start;
        if (into < 0) {
            return 0.0;
        }
        if (into < onset) {
            return static_cast<double>(into) / onset;
        }
        if (into < onset + hold) {
            return 1.0;
        }
        if (into < onset + hold + release) {
            return 1.0 - static_cast<double>(into - onset - hold) / release;
        }
        return 0.0;
    }
};

std::vector<Repetition> schedule(int frames, int channels, std::mt19937& engine) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Repetition> repetitions;
    int t = 0;
    for (;;) {
        Repetition r;
        r.start = t + static_cast<int>(kFramesPerSecond * (1.6 + 0.8 * unit(engine)));
        r.onset = static_cast<int>(kFramesPerSecond * (0.1 + 0.1 * unit(engine)));
        r.hold = static_cast<int>(kFramesPerSecond * (2.1 + 0.8 * unit(engine)));
        r.release = static_cast<int>(kFramesPerSecond * (0.1 + 0.1 * unit(engine)));
        r.strength = 0.6 + 0.8 * unit(engine);
        for (int c = 0; c < channels; ++c) {
            r.channelScale.push_back(0.7 + 0.6 * unit(engine));
        }
        if (r.start >= frames) {
            return repetitions;
        }
        t = r.start + r.onset + r.hold + r.release;
        repetitions.push_back(std::move(r));
    }
}

}  // namespace

std::vector<std::uint8_t> realisticRecording(int gesture, int channels, int recordings,
                                             std::uint32_t seed) {
    const std::vector<double> pattern = gesturePattern(gesture, channels, seed);
    std::mt19937 engine(seed ^ (static_cast<std::uint32_t>(gesture) * 2654435761u));
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> restNoise(0.0, 1.0);
    std::vector<double> offset;
    std::vector<BandNoise> noise;
    for (int c = 0; c < channels; ++c) {
        offset.push_back(122.0 + 2.0 * unit(engine));
        noise.emplace_back(engine());
    }

    const int frames = kFramesPerSecond * kRecordingSeconds;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(frames) *
                  static_cast<std::size_t>(channels * recordings));
    for (int r = 0; r < recordings; ++r) {
        const std::vector<Repetition> repetitions = schedule(frames, channels, engine);
        std::size_t current = 0;
        for (int t = 0; t < frames; ++t) {
            while (current + 1 < repetitions.size() && t >= repetitions[current + 1].start) {
                ++current;
            }
            const Repetition* repetition = repetitions.empty() ? nullptr : &repetitions[current];
            const double envelope = repetition ? repetition->envelope(t) : 0.0;
            for (int c = 0; c < channels; ++c) {
                const std::size_t k = static_cast<std::size_t>(c);
                const double amplitude = envelope == 0.0
                                             ? 0.0
                                             : envelope * repetition->strength *
                                                   repetition->channelScale[k] * pattern[k];
                const double value = offset[k] + restNoise(engine) + amplitude * noise[k].next();
                bytes.push_back(
                    static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L)));
            }
        }
    }
    return bytes;
}

void writeRealisticRawFiles(int gestures, int channels, int recordings, std::uint32_t seed) {
    for (int g = 0; g < gestures; ++g) {
        const std::vector<std::uint8_t> bytes = realisticRecording(g, channels, recordings, seed);
        const std::string name = "raw" + std::to_string(g + 1) + ".bin";
        std::FILE* file = std::fopen(name.c_str(), "wb");
        if (file != nullptr) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
    }
}

BenchDirectory::BenchDirectory() : previous_(std::filesystem::current_path().string()) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillon-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
        std::filesystem::current_path(path_);
    }
}

BenchDirectory::~BenchDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    if (!path_.empty()) {
        std::filesystem::remove_all(path_, ignored);
    }
}
