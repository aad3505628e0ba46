// Calibrating movement detection on the wearer's own recordings, and keeping
// the calibration beside the model.
#include "identify/calibration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "identify/calibration_file.h"
#include "tessel/sim/wearer.h"
#include "tessel/sim/wearer_profile.h"
#include "tests/support/temp_dir.h"
#include "tools/identify_eval/eval_streams.h"
#include "training/model_generation.h"

namespace {

using tessel::sim::WearerAction;

constexpr int kCalibrationChannels = 8;

std::vector<RecordingLevels> recordings(const tessel::sim::WearerProfile& profile) {
    std::vector<RecordingLevels> levels;
    for (const int gesture : {1, 2, 3, 4}) {
        const identify_eval::LabelledStream recording =
            identify_eval::recordGesture(profile, 1, 90 + gesture, gesture, kCalibrationChannels);
        levels.push_back(measureRecording(gesture, recording.bytes.data(), recording.bytes.size(),
                                          kCalibrationChannels));
    }
    return levels;
}

// Levels of 30 s of the default wearer holding `gesture` without a pause.
RecordingLevels heldWithoutRest(int gesture) {
    tessel::sim::Wearer wearer(5, {WearerAction::Hold, static_cast<std::uint8_t>(gesture)});
    std::vector<std::uint8_t> bytes(30 * 650 * kCalibrationChannels);
    for (std::size_t at = 0; at < bytes.size(); at += kCalibrationChannels) {
        wearer.nextFrame(bytes.data() + at);
    }
    return measureRecording(gesture, bytes.data(), bytes.size(), kCalibrationChannels);
}

TEST(Calibration, TakesTheRestAndActivityLevelsFromTheWearersOwnRecordings) {
    for (const char* name : {"calm", "tense", "faint"}) {
        const std::vector<RecordingLevels> levels =
            recordings(*tessel::sim::wearerProfileNamed(name));
        for (const RecordingLevels& recording : levels) {
            EXPECT_TRUE(recordingHasRest(recording)) << name;
        }
        Calibration calibration;
        ASSERT_TRUE(calibrateFromRecordings(levels, calibration)) << name;
        EXPECT_TRUE(calibration.restFound);
        EXPECT_LT(calibration.restVariance, calibration.offThreshold) << name;
        EXPECT_LT(calibration.offThreshold, calibration.onThreshold) << name;
        EXPECT_LT(calibration.onThreshold, calibration.activeVariance) << name;
        if (std::string(name) == "tense") {
            // The exact mode's fixed 200 lies inside this wearer's rest.
            EXPECT_GT(calibration.restVariance, 300.0f);
            EXPECT_GT(calibration.offThreshold, 600.0f);
        }
        if (std::string(name) == "calm") {
            EXPECT_LT(calibration.restVariance, 60.0f);
        }
    }
}

TEST(Calibration, WarnsClearlyWhenTheRecordingsHoldNoRest) {
    std::vector<RecordingLevels> levels = {heldWithoutRest(1), heldWithoutRest(2)};
    EXPECT_FALSE(recordingHasRest(levels[0]));
    Calibration calibration;
    bool calibrated = false;
    std::string log = logOf([&] { calibrated = calibrateFromRecordings(levels, calibration); });
    ASSERT_TRUE(calibrated);
    EXPECT_FALSE(calibration.restFound);
    EXPECT_NE(log.find("the recording of gesture 1 holds no rest"), std::string::npos) << log;
    EXPECT_NE(log.find("WARNING: no recording holds any rest"), std::string::npos) << log;
    EXPECT_FLOAT_EQ(calibration.restVariance, calibration.activeVariance / 10.0f);

    // One recording with rest is enough; the other is left out of the rest level.
    levels.push_back(recordings(tessel::sim::defaultWearerProfile()).front());
    log = logOf([&] { calibrated = calibrateFromRecordings(levels, calibration); });
    ASSERT_TRUE(calibrated);
    EXPECT_TRUE(calibration.restFound);
    EXPECT_LT(calibration.restVariance, 20.0f);
    EXPECT_EQ(log.find("WARNING"), std::string::npos) << log;
    EXPECT_NE(log.find("the recording of gesture 2 holds no rest"), std::string::npos) << log;

    const RecordingLevels silence;
    log = logOf([&] { calibrated = calibrateFromRecordings({silence}, calibration); });
    EXPECT_FALSE(calibrated);
    EXPECT_NE(log.find("no recording holds a gesture"), std::string::npos) << log;
}

TEST(CalibrationFile, KeepsEveryLevelAndRefusesAMalformedFile) {
    Calibration written;
    written.restVariance = 31.5f;
    written.activeVariance = 1962.0f;
    written.onThreshold = 165.25f;
    written.offThreshold = 89.0f;
    written.restFound = true;
    Calibration read;
    ASSERT_TRUE(parseCalibration(calibrationText(written), read));
    EXPECT_EQ(read.restVariance, written.restVariance);
    EXPECT_EQ(read.activeVariance, written.activeVariance);
    EXPECT_EQ(read.onThreshold, written.onThreshold);
    EXPECT_EQ(read.offThreshold, written.offThreshold);
    EXPECT_TRUE(read.restFound);

    const std::string good = calibrationText(written);
    for (const std::string& bad :
         {std::string(""), good.substr(0, good.find("off_threshold")),
          std::string("rest_variance -1\nactive_variance 1\non_threshold 2\noff_threshold 1\n"
                      "rest_found 1\n"),
          std::string("rest_variance 1\nactive_variance 1\non_threshold 1\noff_threshold 2\n"
                      "rest_found 1\n"),
          std::string("rest_variance nan\nactive_variance 1\non_threshold 2\noff_threshold 1\n"
                      "rest_found 1\n")}) {
        Calibration untouched = written;
        EXPECT_FALSE(parseCalibration(bad, untouched)) << bad;
        EXPECT_EQ(untouched.onThreshold, written.onThreshold);
    }
}

TEST(CalibrationFile, IsWrittenBesideTheModelFromTheRecordingsTrainedOn) {
    ScopedWorkingDirectory scratch;
    ASSERT_TRUE(scratch.ready());
    for (const int gesture : {1, 2}) {
        const identify_eval::LabelledStream recording =
            identify_eval::recordGesture(*tessel::sim::wearerProfileNamed("tense"), 1, 3 + gesture,
                                         gesture, kCalibrationChannels);
        writeFile("raw" + std::to_string(gesture) + ".bin",
                  std::string(recording.bytes.begin(), recording.bytes.end()));
    }
    std::vector<std::uint8_t> response;
    logOf([&] { generateModelFromRecordings(0b11, 0xFF, response); });
    ASSERT_EQ(response, (std::vector<std::uint8_t>{0x00}));
    Calibration calibration;
    ASSERT_TRUE(readCalibrationFile(calibration));
    EXPECT_GT(calibration.restVariance, 300.0f);

    writeFile(kCalibrationFileName, "stale");
    std::remove("raw2.bin");
    writeFile("raw2.bin", "");
    response.clear();
    logOf([&] { generateModelFromRecordings(0b11, 0xFF, response); });
    EXPECT_NE(response, (std::vector<std::uint8_t>{0x00})) << "gesture 2 has no samples";
    EXPECT_EQ(readFile(kCalibrationFileName), "stale") << "a failed training leaves it alone";
}

}  // namespace
