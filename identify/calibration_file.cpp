#include "identify/calibration_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "recordings/raw_recording_reader.h"
#include "training/atomic_file.h"
#include "training/model_generation.h"

namespace {

// A calibration file is a few lines; anything much longer is not one.
constexpr std::size_t kLargestFile = 4096;

bool readValue(const std::string& text, const char* name, float& value) {
    const std::string key = std::string(name) + " ";
    std::size_t at = 0;
    while (at < text.size()) {
        if (text.compare(at, key.size(), key) == 0) {
            const char* start = text.c_str() + at + key.size();
            char* end = nullptr;
            const float read = std::strtof(start, &end);
            if (end == start || !(read >= 0.0f) || read > 1e12f) {
                return false;
            }
            value = read;
            return true;
        }
        const std::size_t lineEnd = text.find('\n', at);
        at = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
    }
    return false;
}

}  // namespace

std::string calibrationText(const Calibration& calibration) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "rest_variance %f\nactive_variance %f\non_threshold %f\noff_threshold %f\n"
                  "rest_found %d\n",
                  static_cast<double>(calibration.restVariance),
                  static_cast<double>(calibration.activeVariance),
                  static_cast<double>(calibration.onThreshold),
                  static_cast<double>(calibration.offThreshold), calibration.restFound ? 1 : 0);
    return text;
}

bool parseCalibration(const std::string& text, Calibration& calibration) {
    Calibration read;
    float restFound = 0.0f;
    if (!readValue(text, "rest_variance", read.restVariance) ||
        !readValue(text, "active_variance", read.activeVariance) ||
        !readValue(text, "on_threshold", read.onThreshold) ||
        !readValue(text, "off_threshold", read.offThreshold) ||
        !readValue(text, "rest_found", restFound)) {
        return false;
    }
    if (!(read.restVariance > 0.0f) || !(read.offThreshold > 0.0f) ||
        read.onThreshold < read.offThreshold) {
        return false;
    }
    read.restFound = restFound != 0.0f;
    calibration = read;
    return true;
}

bool writeCalibrationFile(const Calibration& calibration) {
    const std::string text = calibrationText(calibration);
    return writeFileAtomically(kCalibrationFileName, text.data(), text.size());
}

bool readCalibrationFile(Calibration& calibration) {
    std::FILE* file = std::fopen(kCalibrationFileName, "rb");
    if (file == nullptr) {
        return false;
    }
    std::string text(kLargestFile + 1, '\0');
    const std::size_t got = std::fread(text.data(), 1, text.size(), file);
    std::fclose(file);
    if (got > kLargestFile) {
        return false;
    }
    text.resize(got);
    return parseCalibration(text, calibration);
}

bool calibrateFromRawFiles(std::uint8_t gestureMask, std::uint8_t channelMask,
                           Calibration& calibration) {
    std::vector<RecordingLevels> recordings;
    for (int n = 1; n <= 8; ++n) {
        if (((gestureMask >> (n - 1)) & 1u) == 0) {
            continue;
        }
        RawRecording raw;
        if (readRawRecording(n, {channelMask, true, true, kMaxRawFileBytes}, raw) !=
            RawRecordingRead::read) {
            logLine("calibration, %s", raw.problem.c_str());
            return false;
        }
        recordings.push_back(measureRecording(n, raw.bytes.data(), raw.bytes.size(),
                                              static_cast<std::uint8_t>(raw.channels)));
    }
    return calibrateFromRecordings(recordings, calibration);
}

Calibration fallbackCalibration() {
    Calibration fixed;
    fixed.restVariance = 50.0f;
    fixed.activeVariance = 800.0f;
    fixed.onThreshold = 200.0f;
    fixed.offThreshold = 100.0f;
    fixed.restFound = false;
    return fixed;
}
