// Helpers for the identification tests: shared state reset and model files.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "device/acquisition_state.h"
#include "identify/identify_model_check.h"
#include "server/client_registry.h"
#include "tests/support/capturing_client.h"
#include "tests/support/temp_dir.h"
#include "training/model_shape.h"

namespace identify_test {

using Bytes = std::vector<std::uint8_t>;

// A capturing client in clientRegistry for the object's lifetime.
using RegisteredClient = ScopedCapturingClient;

// The shared state identification reads, as at start-up, so tests also hold
// when they share one process.
inline void resetIdentifyGlobals() {
    resetAcquisitionState();
    newModelFlag.store(0);
    identifyWindowLength.store(0);
}

inline void writeModel(const std::string& text) {
    writeFile(kModelFileName, text);
}

// `lines` lines of `numbers` zeros each.
inline std::string zeroModel(int lines, int numbers) {
    std::string line;
    for (int n = 1; n < numbers; ++n) {
        line += "0.000000 ";
    }
    line += "0.000000\n";
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += line;
    }
    return text;
}

}  // namespace identify_test
