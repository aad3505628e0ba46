#include "training/model_generation.h"

#include <sys/stat.h>

#include <bit>
#include <cstdio>
#include <string>

#include "commands/client_commands.h"
#include "core/log.h"
#include "identify/calibration_file.h"
#include "recordings/raw_recording_reader.h"
#include "training/feature_extraction.h"
#include "training/feature_file.h"
#include "training/generate_model.h"
#include "training/model_gestures.h"
#include "training/model_shape.h"

namespace {

bool selected(std::uint8_t gestureMask, int n) {
    return (gestureMask >> (n - 1)) & 1u;
}

void removeFeatureFiles() {
    for (int n = 1; n <= kMostGestures; ++n) {
        std::remove(featureFileName(n).c_str());
    }
}

// False, with a log line, when a selected raw file is larger than training
// takes; a missing file is left to the extraction.
bool rawFilesFitInMemory(std::uint8_t gestureMask) {
    for (int n = 1; n <= kMostGestures; ++n) {
        struct stat status {};
        const std::string rawName = "raw" + std::to_string(n) + ".bin";
        if (selected(gestureMask, n) && ::stat(rawName.c_str(), &status) == 0 &&
            static_cast<unsigned long long>(status.st_size) > kMaxRawFileBytes) {
            logLine("generateModel, %s holds %lld bytes, training takes at most %llu",
                    rawName.c_str(), static_cast<long long>(status.st_size), kMaxRawFileBytes);
            return false;
        }
    }
    return true;
}

// False when a raw file could not be read; the gestures after it are skipped.
// The movement levels of every recording read go to `levels`.
bool extractSelectedFeatures(std::uint8_t gestureMask, std::uint8_t channelMask,
                             std::vector<RecordingLevels>& levels) {
    const auto channelCount = static_cast<std::uint8_t>(std::popcount(channelMask));
    for (int n = 1; n <= kMostGestures; ++n) {
        if (!selected(gestureMask, n)) {
            continue;
        }
        RawRecording raw;
        if (readRawRecording(n, {channelMask, true, true, kMaxRawFileBytes}, raw) !=
            RawRecordingRead::read) {
            logLine("raw_file_name open error.");
            logLine("generateModel, %s", raw.problem.c_str());
            return false;
        }
        const std::vector<std::uint8_t>& bytes = raw.bytes;
        levels.push_back(measureRecording(n, bytes.data(), bytes.size(), channelCount));
        const std::string number = std::to_string(n);
        if (featureExtraction(number.c_str(), bytes.data(), bytes.size(), channelCount) != 0) {
            // A feature file cut short by a failed write would train a model on
            // part of the recording: without it the check below reports it.
            logLine("generateModel, %s could not be written", featureFileName(n).c_str());
            std::remove(featureFileName(n).c_str());
        }
    }
    return true;
}

bool everyFeatureFilePresent(std::uint8_t gestureMask) {
    for (int n = 1; n <= kMostGestures; ++n) {
        if (!selected(gestureMask, n)) {
            continue;
        }
        std::FILE* file = std::fopen(featureFileName(n).c_str(), "r");
        if (file == nullptr) {
            return false;
        }
        std::fclose(file);
    }
    return true;
}

// The k-th selected gesture's features go to "feature" + k + ".txt". Since the
// directory held no feature file before extraction, no name is taken.
void renumberFeatureFiles(std::uint8_t gestureMask) {
    int k = 1;
    for (int n = 1; n <= kMostGestures; ++n) {
        if (!selected(gestureMask, n)) {
            continue;
        }
        if (n != k && std::rename(featureFileName(n).c_str(), featureFileName(k).c_str()) != 0) {
            logLine("generateModel, %s could not be renamed to %s", featureFileName(n).c_str(),
                    featureFileName(k).c_str());
        }
        ++k;
    }
}

// The wearer's calibration goes beside the model; a calibration that cannot
// be made or written leaves none, so that an old one never outlives its model.
void writeCalibration(const std::vector<RecordingLevels>& levels) {
    Calibration calibration;
    if (!calibrateFromRecordings(levels, calibration)) {
        std::remove(kCalibrationFileName);
        return;
    }
    if (!writeCalibrationFile(calibration)) {
        logLine("generateModel, %s could not be written", kCalibrationFileName);
        std::remove(kCalibrationFileName);
    }
}

}  // namespace

void generateModelFromRecordings(std::uint8_t gestureMask, std::uint8_t channelMask,
                                 std::vector<std::uint8_t>& response) {
    const auto channelCount = static_cast<std::uint8_t>(std::popcount(channelMask));
    if (!rawFilesFitInMemory(gestureMask)) {
        response.push_back(STATUS_FAILED);
        return;
    }
    removeFeatureFiles();
    std::vector<RecordingLevels> levels;
    if (!extractSelectedFeatures(gestureMask, channelMask, levels)) {
        response.push_back(STATUS_FAILED);
    }
    if (!everyFeatureFilePresent(gestureMask)) {
        response.push_back(STATUS_FILE_ERROR);
        return;
    }
    renumberFeatureFiles(gestureMask);
    // The old model's gestures and calibration go before the new model takes
    // its place: a server killed in between leaves a model without them,
    // which identification refuses or calibrates afresh, never one described
    // by another model's files.
    const auto dropOldModelFiles = [] {
        std::remove(kModelGesturesFileName);
        std::remove(kCalibrationFileName);
    };
    if (generateModel(std::popcount(gestureMask), channelCount, dropOldModelFiles) != 0) {
        response.push_back(STATUS_FAILED);
        return;
    }
    if (!saveModelGestures(gestureMask)) {
        // Without it identification refuses the model rather than misname gestures.
        logLine("generateModel, %s could not be written", kModelGesturesFileName);
        std::remove(kModelGesturesFileName);
    }
    logLine("start generate model ....");
    writeCalibration(levels);
    newModelFlag.store(1);
    response.push_back(STATUS_OK);
    removeFeatureFiles();
}
