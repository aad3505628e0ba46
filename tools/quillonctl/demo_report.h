// The report that `quillonctl demo` prints at its end. Pure.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/quillonctl/agreement.h"

struct DemoRecording {
    std::uint8_t gesture = 0;  // 1 to 8
    std::size_t frames = 0;    // counted from the preview frames
    std::size_t channels = 0;  // bytes per frame
};

struct DemoResults {
    std::vector<DemoRecording> recordings;
    std::chrono::milliseconds trainingTime{0};  // GENERATE_MODEL round trip
    std::chrono::milliseconds uploadTime{0};    // MODEL_UPDATE until 0C 00
    int uploadPercentage = -1;                  // the last progress reported
    Agreement agreement;
};

// "gesture 2 (Spread)": a gesture slot and the gesture the virtual wearer makes
// for it (the armband's gesture of the same number).
std::string demoGestureName(std::uint8_t gesture);

// "1234 ms"
std::string millisecondsText(std::chrono::milliseconds duration);

// The report, several lines, each ending in a newline.
std::string demoReport(const DemoResults& results);
