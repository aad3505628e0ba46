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
