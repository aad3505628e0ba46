#include "pipeline/model_generation.h"

#include <sys/stat.h>

#include <bit>
#include <cstdio>
#include <string>

#include "base/log.h"
#include "pipeline/generate_model.h"
#include "protocol/wire.h"
#include "signal/feature_extraction.h"
#include "signal/recogniser.h"
#include "store/feature_file.h"
#include "store/model_gestures.h"
#include "store/model_shape.h"
#include "store/raw_recording_file.h"
#include "store/recogniser_file.h"
#include "store/selected_recordings.h"

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
        const std::string rawName = rawFileName(static_cast<std::uint8_t>(n));
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
// The windows of every recording read go to the recogniser's training, the
// k-th selected gesture as position k.
bool extractSelectedFeatures(std::uint8_t gestureMask, std::uint8_t channelMask,
                             RecogniserTraining& recogniser, const std::stop_token& stop) {
    const auto channelCount = static_cast<std::uint8_t>(std::popcount(channelMask));
    int position = 0;
    const auto refused = readSelectedRecordings(
        gestureMask, channelMask, kMaxRawFileBytes, [&](GestureRecording& recording) {
            if (stop.stop_requested()) {
                return;
            }
            const std::uint8_t* bytes = recording.bytes.data();
            const std::size_t length = recording.bytes.size();
            recogniser.add(recordingWindowFeatures(bytes, length, channelCount), ++position);
            const int n = recording.gesture;
            const std::string number = std::to_string(n);
            if (featureExtraction(number.c_str(), bytes, length, channelCount) != 0) {
                // A feature file cut short by a failed write would train a model
                // on part of the recording: without it the check below reports it.
                logLine("generateModel, %s could not be written", featureFileName(n).c_str());
                std::remove(featureFileName(n).c_str());
            }
        });
    if (refused) {
        logLine("raw_file_name open error.");
        // The line above is the one that has always stood for both; this one
        // says that the raw file was being read, which, and why that failed.
        const std::string name = rawFileName(static_cast<std::uint8_t>(refused->gesture));
        const std::string outcome =
            refused->failure.empty() ? "refused" : "failed: " + refused->failure;
        logLine("generateModel, %s (reading %s %s)", refused->problem.c_str(), name.c_str(),
                outcome.c_str());
        return false;
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

// The recogniser goes beside the model, tied to it; one that cannot be
// trained or written leaves none, so that an old one never outlives its model.
void writeRecogniser(const RecogniserTraining& training, std::uint8_t gestureMask,
                     std::uint8_t channelCount, const std::string& modelText) {
    RecogniserFile file;
    file.gestureMask = gestureMask;
    file.modelChecksum = modelChecksum(modelText);
    const auto gestures = static_cast<std::size_t>(std::popcount(gestureMask));
    if (training.windowsOf(0) == 0) {
        logLine(
            "generateModel, WARNING: no recording holds rest that its gesture stands clearly "
            "above; calibrated identification needs it: record each gesture again, relaxing "
            "fully between its holds");
        std::remove(kRecogniserFileName);
        return;
    }
    if (!training.train(channelCount, gestures, file.model)) {
        logLine(
            "generateModel, the recogniser could not be trained (a gesture without holds "
            "clearly above rest); calibrated identification needs it");
        std::remove(kRecogniserFileName);
        return;
    }
    if (const FileWrite written = writeRecogniserFile(file); !written) {
        logLine("generateModel, %s could not be written: %s", kRecogniserFileName,
                written.reason.c_str());
        std::remove(kRecogniserFileName);
    }
}

}  // namespace

void generateModelFromRecordings(std::uint8_t gestureMask, std::uint8_t channelMask,
                                 std::vector<std::uint8_t>& response, std::stop_token stop) {
    const auto channelCount = static_cast<std::uint8_t>(std::popcount(channelMask));
    if (!rawFilesFitInMemory(gestureMask)) {
        response.push_back(STATUS_FAILED);
        return;
    }
    removeFeatureFiles();
    const std::size_t before = response.size();
    const auto stopped = [&response, &stop, before] {
        if (!stop.stop_requested()) {
            return false;
        }
        removeFeatureFiles();
        response.resize(before);
        response.push_back(STATUS_STOPPED);
        return true;
    };
    RecogniserTraining recogniser;
    const bool extracted = extractSelectedFeatures(gestureMask, channelMask, recogniser, stop);
    if (stopped()) {
        return;
    }
    if (!extracted) {
        response.push_back(STATUS_FAILED);
    }
    if (!everyFeatureFilePresent(gestureMask)) {
        response.push_back(STATUS_FILE_ERROR);
        return;
    }
    renumberFeatureFiles(gestureMask);
    // The old model's gestures and recogniser go before the new model takes
    // its place: a server killed in between leaves a model without them,
    // which identification refuses until it is trained again, never one
    // described by another training's files.
    const auto dropOldModelFiles = [] {
        std::remove(kModelGesturesFileName);
        std::remove(kRecogniserFileName);
    };
    std::string modelText;
    if (generateModel(std::popcount(gestureMask), channelCount, dropOldModelFiles, &modelText,
                      stop) != 0) {
        if (!stopped()) {
            response.push_back(STATUS_FAILED);
        }
        return;
    }
    if (const FileWrite written = saveModelGestures(gestureMask); !written) {
        // Without it identification refuses the model rather than misname gestures.
        logLine("generateModel, %s could not be written: %s", kModelGesturesFileName,
                written.reason.c_str());
        std::remove(kModelGesturesFileName);
    }
    logLine("start generate model ....");
    writeRecogniser(recogniser, gestureMask, channelCount, modelText);
    response.push_back(STATUS_OK);
    removeFeatureFiles();
}
