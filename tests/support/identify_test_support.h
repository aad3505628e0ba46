// Helpers for the identification tests: model files.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "server/net/client_registry.h"
#include "store/identify_model_check.h"
#include "store/model_shape.h"
#include "tests/support/capturing_client.h"
#include "tests/support/temp_dir.h"

namespace identify_test {

using Bytes = std::vector<std::uint8_t>;

// A capturing client in a client registry for the object's lifetime.
using RegisteredClient = ScopedCapturingClient;

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
