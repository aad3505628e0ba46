#include "tests/support/simulated_recordings.h"

#include <string>

#include "tessel/sim/wearer.h"
#include "tests/support/temp_dir.h"

std::vector<std::uint8_t> simulatedRecording(int gesture, int channels, int seconds,
                                             std::uint64_t seed, WearerDoes does) {
    using tessel::sim::WearerAction;
    WearerAction action{WearerAction::Perform, static_cast<std::uint8_t>(gesture)};
    if (does == WearerDoes::rest) {
        action = {WearerAction::Rest, 0};
    } else if (does == WearerDoes::hold) {
        action.kind = WearerAction::Hold;
    }
    tessel::sim::Wearer wearer(seed * 1000u + static_cast<std::uint64_t>(gesture), action);
    std::vector<std::uint8_t> bytes;
    std::uint8_t frame[tessel::sim::kElectrodes];
    for (int t = 0; t < tessel::sim::kFramesPerSecond * seconds; ++t) {
        wearer.nextFrame(frame);
        bytes.insert(bytes.end(), frame, frame + channels);
    }
    return bytes;
}

void writeSimulatedRawFiles(const std::vector<int>& gestures, int channels, std::uint64_t seed) {
    for (int g : gestures) {
        writeBytes("raw" + std::to_string(g) + ".bin", simulatedRecording(g, channels, 30, seed));
    }
}

void writeSimulatedWindows(const std::string& dir, int windows) {
    for (int gesture = 1; gesture <= 8; ++gesture) {
        // A few different windows, repeated: what the wearer does varies a little.
        std::vector<std::vector<std::uint8_t>> variants;
        for (std::uint64_t seed = 1; seed <= 6; ++seed) {
            variants.push_back(simulatedRecording(gesture, 8, 30, seed));
        }
        std::string raw;
        std::string log;
        for (int w = 0; w < windows; ++w) {
            const std::vector<std::uint8_t>& window =
                variants[static_cast<std::size_t>(w) % variants.size()];
            log += std::to_string(raw.size()) + " " + std::to_string(window.size()) + " 255 " +
                   std::to_string(1700000000 + w) + "\n";
            raw.append(window.begin(), window.end());
        }
        const std::string stem = dir + "/raw" + std::to_string(gesture);
        writeFile(stem + ".bin", raw);
        writeFile(stem + ".windows", log);
    }
}
