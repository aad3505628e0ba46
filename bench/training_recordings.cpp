#include "bench/training_recordings.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>

#include "tessel/sim/wearer.h"

std::vector<std::uint8_t> realisticRecording(int gesture, int channels, int recordings,
                                             std::uint32_t seed) {
    using tessel::sim::WearerAction;
    tessel::sim::Wearer wearer;
    std::vector<std::uint8_t> bytes;
    std::uint8_t frame[tessel::sim::kElectrodes];
    for (int r = 0; r < recordings; ++r) {
        // Every recording is a new window: the wearer starts again from rest.
        wearer.restart(seed * 1000u + static_cast<std::uint32_t>(gesture * 100 + r),
                       {WearerAction::Perform, static_cast<std::uint8_t>(gesture)});
        for (int t = 0; t < tessel::sim::kFramesPerSecond * kRecordingSeconds; ++t) {
            wearer.nextFrame(frame);
            bytes.insert(bytes.end(), frame, frame + channels);
        }
    }
    return bytes;
}

void writeRealisticRawFiles(int gestures, int channels, int recordings, std::uint32_t seed) {
    for (int g = 1; g <= gestures; ++g) {
        const std::vector<std::uint8_t> bytes = realisticRecording(g, channels, recordings, seed);
        std::FILE* file = std::fopen(("raw" + std::to_string(g) + ".bin").c_str(), "wb");
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
